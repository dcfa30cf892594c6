// One source file in one of the four lists: its media properties, the user's
// output choices, its state and its running job.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "engine/item_clip.h"
#include "media/media_info.h"
#include "media/output_format.h"
#include "platform/process.h"

namespace engine {

enum class ConvertKind : int { Video = 0, Audio = 1, Gif = 2, Merge = 3 };
enum class ItemState : int { Idle = 0, Queued = 1, Converting = 2, Stopped = 3, Done = 4, Failed = 5 };

class CUtilTransform;

// A new source for an item with what its probe found, made off the owner's
// thread (a cache job's converted file). The job leaves it on the item and
// the owner puts it in on its own thread when told WM_ITEM_INFO_CHANGED, so
// that no field of the item changes while the owner reads it.
struct SourceUpdate {
  std::string sourcePath;
  media::MediaInfo info;  // the item's own, with the probe's findings
  ItemClip clip;          // the whole of what the probe found, else the item's own
  std::string analysisError;
  bool hasPicture = false;
};

struct VideoItem : media::MediaInfo {
  // path is made absolute; the media fields that come from the path are filled.
  VideoItem(const std::string& path, ConvertKind kind);
  // Ends a cover process that still runs.
  ~VideoItem();
  VideoItem(const VideoItem&) = delete;
  VideoItem& operator=(const VideoItem&) = delete;

  std::string outputName;              // base name of the output file
  std::string sourcePath;              // absolute path of the conversion's input
  // A cache file itself: its job's converter reads it, and sourcePath becomes
  // the ordinary file made from it. "" for other files.
  std::string cachePath;
  std::string outputPath;              // the finished file; set on the owner's thread when done
  std::string outputDir;               // ends with '/'
  std::string outputExtension;         // mp4 mkv avi wmv flv mov gif mp3 m4a webm flac wav opus
  // The chosen format as a value; outputExtension is its file's extension
  // (FormatExtension: HEVC writes .mp4, AV1 .webm).
  media::OutputFormat outputFormat = media::OutputFormat::Mp4;
  // The output picture's frame and the sound's bit rate (kbit/s) as values;
  // 0: the source's own (or not known yet). The texts show them.
  int outputWidth = 0;
  int outputHeight = 0;
  int outputAudioKbps = 0;
  std::string outputResolutionText;    // "%dx%d"
  std::string outputAudioBitRateText;  // kbit/s, digits only
  std::string itemId;                  // "%d_%lld": counter and microseconds
  std::string failureReason;           // why the last run failed; owner's thread only
  ConvertKind listKind;
  media::SizePreset sizePreset = media::SizePreset::Origin;
  int trimStart = 0;
  int trimEnd = 0;
  int cropX = 0;
  int cropY = 0;
  int cropWidth = 0;
  int cropHeight = 0;
  bool keepRatio = true;
  // The one-shot video bit rate (bit/s) and frame rate of the settings, given
  // by the start that queued the item to its next job; 0 = none. Written by
  // the owner when it queues the item.
  int64_t customBitRate = 0;
  float customFrameRate = 0.0f;
  // 1: run ahead of the rest of its batch. Written by the owner when it
  // queues the item, read by the conversion worker.
  std::atomic<int> runFirst{0};
  std::atomic<bool> analysed{false};
  // What the analysis found out about the source itself. Written by the
  // analysis worker before it sets `analysed`, read only after it is set.
  std::string analysisError;           // why the source could not be read; "" when it could
  bool hasPicture = false;             // a video stream (or cover art standing for one)
  std::atomic<ItemState> state{ItemState::Idle};
  // The job of the current run; only touched under the queue's lock.
  std::shared_ptr<CUtilTransform> job;
  void* listItem = nullptr;           // the row showing the item, not owned
  platform::Process coverProcess;     // the cover maker's transcoder while it runs
  // A new source waiting for the owner (OfferSourceUpdate, TakeSourceUpdate).
  std::mutex sourceUpdateMutex;
  std::unique_ptr<SourceUpdate> sourceUpdate;

  bool IsTrimmed() const { return trimStart > 0 || trimEnd != durationSeconds; }
  // Seconds the output keeps: the trimmed range, else the whole duration.
  int KeptSeconds() const { return IsTrimmed() ? trimEnd - trimStart : durationSeconds; }
  // The source has sound: the probe leaves the audio bit rate text empty only
  // when it met no audio stream.
  bool HasAudio() const { return !audioBitRateText.empty(); }
};

// Probes the source; on the way sets the whole file as the kept range and the
// whole frame as the crop, and keeps the probe's verdict (analysisError,
// hasPicture) on the item. Does nothing for a stopped item.
bool ProbeItem(VideoItem& item);

// What ProbeItem would make of the item with `path` as its source, leaving
// the item alone. True as for ProbeItem.
bool ProbeSource(const VideoItem& item, const std::string& path, SourceUpdate* update);
// Puts the update into the item.
void ApplySourceUpdate(VideoItem& item, const SourceUpdate& update);
// The owner's side: puts in the update waiting on the item, if there is one;
// true when there was.
bool TakeSourceUpdate(VideoItem& item);
// The job's side: leaves the update for the owner, or takes back what the
// owner did not take.
void OfferSourceUpdate(VideoItem& item, std::unique_ptr<SourceUpdate> update);
std::unique_ptr<SourceUpdate> WithdrawSourceUpdate(VideoItem& item);

// Why an analysed item must not reach the transcoder: its analysis failed, or
// a list of pictures (video, GIF, merge) was given a file without a picture.
// "" when it may.
std::string SourceRefusal(const VideoItem& item);

// Makes the item's cover in coverDir. Does nothing for a stopped item.
bool MakeItemCover(VideoItem& item, const std::string& coverDir, const std::string& workDir);

}  // namespace engine
