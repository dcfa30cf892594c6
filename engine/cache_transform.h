// Jobs for the video cache formats (KUX, QLV, QSV). A converter program of
// the plugin folder first turns the cache file into an ordinary video in the
// scratch folder; the job then converts that file like any other.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/timing.h"
#include "engine/transform.h"

namespace engine {

// What the three formats share: the chain's frame (earlier files of the item
// removed first, a failed or stopped chain's files removed after), the
// interim progress while it runs, and the refresh of the item after it.
class CacheTransform : public CUtilTransform {
 public:
  ~CacheTransform() override;

 protected:
  // The interim progress: steps 0..steps while the file named by waitedSuffix
  // is missing, each after a random pause below Timing().*pause; finalPercent
  // once it is there.
  struct Interim {
    const char* waitedSuffix;
    int steps;
    int finalPercent;
    std::chrono::milliseconds EngineTiming::*pause;
  };

  CacheTransform(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs, Interim interim);

  int PrepareSource() final;
  int PrepareProgress() final;

  // Runs the converters; returns the ordinary video it made, or "" with the
  // failure set (or when stopped).
  virtual std::string RunChain() = 0;
  // The suffixes (after the item's id) of every file the chain may write in
  // the scratch folder.
  virtual std::vector<std::string> ChainSuffixes() const = 0;

  // The cache file the converter reads (sourcePath is its converted form
  // after a chain).
  const std::string& CacheFile() const;
  // The scratch folder's file: the item's id followed by suffix.
  std::string Scratch(const std::string& suffix) const;
  // Runs a converter to its end, its error output kept for the reason.
  // False when it could not be started (the failure is set) or was stopped.
  bool RunHelper(const std::string& what, const std::vector<std::string>& argv);
  // Fails the chain because `what` did not leave `file`; returns "".
  std::string Missing(const std::string& what, const std::string& file);
  // Sets the failure with the end of the last converter's error output; returns "".
  std::string Failed(const std::string& why);
  // The last converter's exit code.
  int LastExit() const { return lastExit_; }

  // The size text of the new source when it is not the cache file's (runner only).
  std::string sizeText_;

 private:
  enum Chain : int { Waiting = 0, Running, Done, Gone };

  // The new source is probed and given a cover; the owner puts it into the
  // item while it handles WM_ITEM_INFO_CHANGED.
  void Refresh(const std::string& source);
  void RemoveChainFiles();
  std::string HelperLog() const;

  const Interim interim_;
  std::atomic<int> chain_{Waiting};
  int lastExit_ = 0;  // runner only
};

class CUtilTransform_Kux : public CacheTransform {
 public:
  CUtilTransform_Kux(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs);
  ~CUtilTransform_Kux() override;

 protected:
  std::string RunChain() override;
  std::vector<std::string> ChainSuffixes() const override;
};

class CUtilTransform_Qlv : public CacheTransform {
 public:
  CUtilTransform_Qlv(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs);
  ~CUtilTransform_Qlv() override;

 protected:
  std::string RunChain() override;
  std::vector<std::string> ChainSuffixes() const override;
};

class CUtilTransform_Qsv : public CacheTransform {
 public:
  CUtilTransform_Qsv(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs);
  ~CUtilTransform_Qsv() override;

 protected:
  std::string RunChain() override;
  std::vector<std::string> ChainSuffixes() const override;
};

// The job for an item: a cache file's own class, else the ordinary one.
std::shared_ptr<CUtilTransform> MakeJob(VideoItem* item, NotifyTarget* target,
                                        const EngineDirs& dirs);

}  // namespace engine
