#include "engine/video_item.h"

#include "media/cover.h"
#include "media/probe.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {
namespace {

std::atomic<int> g_itemCounter{1};

}  // namespace

VideoItem::VideoItem(const std::string& path, ConvertKind kind)
    : sourcePath(platform::AbsolutePath(path)), listKind(kind) {
  media::FillFromPath(sourcePath, *this);
  outputName = title;
  if (cacheKind != media::CacheKind::None) cachePath = sourcePath;
  itemId = platform::Format("%d_%lld", g_itemCounter.fetch_add(1),
                            static_cast<long long>(platform::MicrosecondsSinceEpoch()));
}

VideoItem::~VideoItem() { coverProcess.kill(); }

bool ProbeItem(VideoItem& item) {
  if (item.state.load() == ItemState::Stopped) return false;
  // Written field by field: the owner may read the others meanwhile.
  media::ProbeReport report = media::ProbeMedia(item.sourcePath, item);
  if (report.durationFound) {
    item.trimStart = 0;
    item.trimEnd = item.durationSeconds;
  }
  if (report.videoSizeFound) {  // the picture as shown
    item.cropWidth = WholeFrameSide(item.DisplayWidth());
    item.cropHeight = WholeFrameSide(item.DisplayHeight());
  }
  item.analysisError = report.error;
  // A cache file's content is its converter's to read: only a file that is
  // not there (or no plain file) refuses it.
  if (item.cacheKind != media::CacheKind::None && platform::IsRegularFile(item.sourcePath))
    item.analysisError.clear();
  item.hasPicture = report.pictureFound;
  return report.usable;
}

bool ProbeSource(const VideoItem& item, const std::string& path, SourceUpdate* update) {
  update->sourcePath = path;
  update->info = item;
  update->clip = ClipOf(item);
  media::MediaInfo& info = update->info;
  info.inputFormat.clear();  // the old source's
  media::ProbeReport report = media::ProbeMedia(path, info);
  ItemClip& clip = update->clip;
  if (report.durationFound) {
    clip.trimStart = 0;
    clip.trimEnd = info.durationSeconds;
  }
  if (report.videoSizeFound) {
    clip.cropX = clip.cropY = 0;
    clip.cropWidth = WholeFrameSide(info.DisplayWidth());
    clip.cropHeight = WholeFrameSide(info.DisplayHeight());
  }
  update->analysisError = report.error;
  if (item.cacheKind != media::CacheKind::None && platform::IsRegularFile(path))
    update->analysisError.clear();
  update->hasPicture = report.pictureFound;
  return report.usable;
}

void ApplySourceUpdate(VideoItem& item, const SourceUpdate& update) {
  if (item.sourcePath != update.sourcePath) item.sourcePath = update.sourcePath;
  static_cast<media::MediaInfo&>(item) = update.info;
  PutClip(item, update.clip);
  item.analysisError = update.analysisError;
  item.hasPicture = update.hasPicture;
}

bool TakeSourceUpdate(VideoItem& item) {
  std::unique_ptr<SourceUpdate> update = WithdrawSourceUpdate(item);
  if (update) ApplySourceUpdate(item, *update);
  return update != nullptr;
}

void OfferSourceUpdate(VideoItem& item, std::unique_ptr<SourceUpdate> update) {
  std::lock_guard<std::mutex> lock(item.sourceUpdateMutex);
  item.sourceUpdate = std::move(update);
}

std::unique_ptr<SourceUpdate> WithdrawSourceUpdate(VideoItem& item) {
  std::lock_guard<std::mutex> lock(item.sourceUpdateMutex);
  return std::move(item.sourceUpdate);
}

std::string SourceRefusal(const VideoItem& item) {
  if (!item.analysisError.empty()) return item.analysisError;
  // Cache files are read by the transcoder alone; the probe may not see their picture.
  const bool pictureList = item.listKind != ConvertKind::Audio;  // merge parts are videos too
  if (pictureList && !item.hasPicture && item.cacheKind == media::CacheKind::None)
    return "this file has no picture; use the audio list";
  if (!pictureList && !item.HasAudio()) return "this file has no sound";
  return std::string();
}

bool MakeItemCover(VideoItem& item, const std::string& coverDir, const std::string& workDir) {
  if (item.state.load() == ItemState::Stopped) return false;
  return media::MakeCover(item.sourcePath, item, coverDir, workDir, item.coverProcess);
}

}  // namespace engine
