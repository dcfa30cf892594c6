// The rules of the four lists, for every front end: the items of each list,
// each list's format choice applied to its items, starting, converting again,
// stopping, removing, clearing, the merge step, the item states that follow
// the engine's messages, and what is still pending. A front end calls these
// verbs and shows what the listener reports; it holds no rule of its own.
//
// Everything here runs on the owner's thread: the verbs, Drain(), and the
// listener's calls (made from inside Drain()).
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/convert_queue.h"
#include "engine/format_catalog.h"
#include "engine/inbox.h"
#include "engine/item_clip.h"
#include "engine/merge_join.h"
#include "engine/video_item.h"
#include "engine/work_dirs.h"

namespace engine {

// How the join of the merge list ended.
struct MergeOutcome {
  enum class End { Done, Failed, Stopped };
  End end = End::Stopped;
  std::string outputPath;  // Done: the joined file
  std::string reason;      // Failed: why
};

// How the work the user started ended: everything that the starts of one
// run queued (in any list, a start while a run goes on joins it), and the
// join of the merge parts that the run completed.
struct RunSummary {
  int converted = 0;                // files made: converted items and the merged file
  int stopped = 0;                  // stopped, or taken out of their list, before they ended
  std::vector<std::string> failed;  // the names of what failed
  // Power-off: something was made and nothing failed.
  bool Succeeded() const { return converted > 0 && failed.empty(); }
};

// What the session reports to its front end, on the owner's thread.
struct SessionListener {
  virtual ~SessionListener() = default;
  // The analysis filled the item (duration, size, cover) and its output
  // texts; the worker waits until this returns.
  virtual void OnItemInfo(VideoItem& /*item*/) {}
  // The item's state or output choice changed by the session's own doing
  // (queued, stopped, reset to Idle, a new format choice): redraw its row.
  virtual void OnItemChanged(VideoItem& /*item*/) {}
  // The item's job has begun (seen when the session drains; an item that
  // ended between two drains is reported done or failed only).
  virtual void OnItemStarted(VideoItem& /*item*/) {}
  // Percent 0..99 of a converting item.
  virtual void OnProgress(VideoItem& /*item*/, int /*percent*/) {}
  // The item is Done; its outputPath names the finished file.
  virtual void OnItemDone(VideoItem& /*item*/) {}
  // The item is Failed; failureReason says why. startFailed: the transcoder
  // could not be started at all.
  virtual void OnItemFailed(VideoItem& /*item*/, bool /*startFailed*/) {}
  // Every part of the merge list is Done: the session has started the join
  // of these parts. From here the merge runs (no second one is offered)
  // until OnMergeEnded.
  virtual void OnMergeStarted(const MergeRequest& /*request*/) {}
  // Percent 1..99 of the running join.
  virtual void OnMergeProgress(int /*percent*/) {}
  // The join has ended: done with its file, failed with its reason, or
  // stopped (StopMerge). After a failure the parts stay done, so that the
  // list may start the join again.
  virtual void OnMergeEnded(const MergeOutcome& /*outcome*/) {}
  // A merge part failed: the later parts went back to Idle (each was
  // reported through OnItemChanged before this).
  virtual void OnMergePartFailed() {}
  // The list's choice went back to its starting size because its files
  // cannot be taken as they are (why, for the user); its items at rest took
  // the new choice and were reported through OnItemChanged.
  virtual void OnChoiceReset(ConvertKind /*list*/, const std::string& /*why*/) {}
  // Everything of the run has ended (the join after the parts, too): what
  // was made, stopped and failed. Comes once per run, from inside Drain().
  virtual void OnRunEnded(const RunSummary& /*summary*/) {}
};

// The transcoder command an item would run.
struct PlannedCommand {
  ItemPtr item;
  std::string line;   // the whole command, quoted for a POSIX shell
  std::string error;  // why the item could not run; "" when line is its command
};

enum class StartResult {
  Nothing,        // the list has no item to queue (or none at all)
  NeedTwoParts,   // a merge needs at least two files ("MergeNeed2Video")
  FolderFailed,   // the output folder cannot be made
  FolderReadOnly, // the output folder takes no files (read-only, not ours)
  Started,        // items were queued
  MergeAgain,     // every merge part was Done already: the join comes next
};

enum class ChoiceResult {
  Applied,
  Refused,  // merge list: a part waits or converts ("WaitForConver")
};

class ListSession {
 public:
  // wakeup: see Inbox; empty for an owner that calls WaitAndDrain().
  ListSession(SessionListener* listener, const EngineDirs& dirs,
              std::function<void()> wakeup = {});
  ~ListSession();  // Shutdown()
  ListSession(const ListSession&) = delete;
  ListSession& operator=(const ListSession&) = delete;

  // Whether the analysis makes cover pictures; set before adding files.
  void SetMakeCovers(bool make);

  // Handles the engine messages that wait, calling the listener.
  void Drain();
  // Waits up to waitMs for a message, then drains. For owners without an
  // event loop.
  void WaitAndDrain(int waitMs);
  // Stops every job and worker; nothing is reported afterwards.
  void Shutdown();

  // --- lists ---------------------------------------------------------------
  const std::vector<ItemPtr>& Items(ConvertKind list) const;
  // The item of a list by pointer, or none (an item may be gone).
  ItemPtr Find(const VideoItem* item) const;
  // New items for the files the list takes (no cache files in the audio and
  // merge lists), each with the list's current choice, handed to the
  // analysis in their order.
  std::vector<ItemPtr> AddFiles(ConvertKind list, const std::vector<std::string>& paths);
  // Takes the item out of its list and stops it; its cover picture goes.
  // Its row is the caller's.
  void RemoveItem(const ItemPtr& item);
  // Removes every item of the list with its cover pictures; the other lists'
  // analysis goes on and their covers stay.
  void ClearList(ConvertKind list);
  // Moves a merge part up (-1) or down (+1); false at either end.
  bool MoveItem(const ItemPtr& item, int delta);
  // A new output name. Refused, with a reason for the user, when empty, "."
  // or "..", or holding "/", "\r" or "\n", or while the item waits or
  // converts (its job names the file); the old name then stays.
  bool RenameItem(VideoItem& item, const std::string& name, std::string* error);
  // Whether the item at rest would not get its name in outputFolder: an
  // earlier item of its list will make a file of that name, or the folder
  // has one. Its job then adds a number to the name (never a merge part).
  bool NameTaken(const VideoItem& item, const std::string& outputFolder) const;

  // The range and crop rectangle the item keeps. Refused, with a reason for
  // the user, while the item waits or converts, before its analysis told its
  // length and frame, or when it does not fit the file (FitClip); the old
  // clip then stays. The crop's sides are made even.
  bool SetClip(VideoItem& item, const ItemClip& clip, std::string* why);
  // Whether the item may be trimmed and cropped in the clip editor now: it
  // neither waits nor converts, its facts are known and a crop may be made.
  bool CanClip(const VideoItem& item) const;

  // --- format choice -------------------------------------------------------
  ListChoice Choice(ConvertKind list) const;
  // A format menu entry's name (see ReadMenuChoice). Items at rest (neither
  // waiting, converting nor done) take the choice; in the merge list every
  // part goes back to Idle first. Each changed item is reported.
  ChoiceResult ApplyFormatChoice(ConvertKind list, const std::string& menuName);
  // The formats in which the merge parts join as they are, without being
  // converted (the "parts" preset); none unless every part is known and
  // they share their picture and sound formats, whole and uncut.
  std::vector<media::OutputFormat> PartsJoinFormats() const;
  // The same with values (a command line); false when the list does not
  // take them (ListTakesPreset) or, for the merge list, a part waits or
  // converts.
  bool SetChoice(ConvertKind list, const ListChoice& choice);

  // --- conversion control --------------------------------------------------
  // Queues every Idle, Stopped or Failed item of the list, in list order, to
  // outputFolder (made when missing). A list of pictures takes the one-shot
  // bit rate and frame rate of the settings into the first item it queues;
  // no later conversion gets them.
  StartResult StartList(ConvertKind list, const std::string& outputFolder);
  // Converts one item again, ahead of the others, with the one-shot rates as
  // a start does. Nothing for an item that waits or converts already.
  StartResult RequeueItem(const ItemPtr& item, const std::string& outputFolder);
  // The commands the list's items would run if the list started now, made
  // by the steps a job takes: the list's choice, the folder, the output's
  // name, the one-shot rates on the first (which stay for the conversion).
  // Nothing is queued or written: for a front end that shows the commands
  // instead of running them.
  std::vector<PlannedCommand> PlanCommands(ConvertKind list, const std::string& outputFolder);

  // Ends the item's conversion; the item becomes Stopped, its half-written
  // output goes.
  void StopItem(const ItemPtr& item);
  // Some item of the list waits or converts.
  bool Busy(ConvertKind list) const;
  // Nothing of the list waits or converts, and every job's last report was
  // handled.
  bool Settled(ConvertKind list) const;
  // A run is under way: something that a start queued, or its join, has
  // not ended yet (its OnRunEnded is still to come).
  bool RunOpen() const;

  // The join of the merge list runs; while it runs no second one is started.
  bool MergeRunning() const;
  // Ends the running join at once; what it wrote goes. Reported through
  // OnMergeEnded: stopped, or done when it had just finished.
  void StopMerge();

  // --- time left -----------------------------------------------------------
  // Seconds left for a converting item, estimated from its progress once it
  // has run a few seconds; -1 while unknown.
  int SecondsLeft(const VideoItem& item) const;
  // Seconds left for everything waiting or converting in the list; -1 while
  // unknown.
  int ListSecondsLeft(ConvertKind list) const;

  // Where this session's engine writes.
  const EngineDirs& Dirs() const;

  // The engine's part of a front end's start: what runs of this program that
  // no longer run left behind goes (RemoveLeftovers), in the window's
  // folders `dirs`, or in every folder of this user's when none are given.
  static void CleanUpEndedRuns(const EngineDirs& dirs);
  static void CleanUpEndedRuns();

  // The facts the analysis reads from a file, into *info; "" when the file
  // could be read, else why not.
  static std::string ProbeFile(const std::string& path, media::MediaInfo* info);

  // The queue, for what the verbs above do not cover (tests).
  ConvertQueue& Queue();

 private:
  // The implementation's own members and helpers.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace engine
