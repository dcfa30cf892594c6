#include "engine/cache_transform.h"

#include <algorithm>
#include <random>

#include "engine/messages.h"
#include "engine/video_item.h"
#include "media/cover.h"
#include "media/source_open.h"
#include "platform/byte_size.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {
namespace {

// The end of a converter's error output as one line.
std::string HelperTail(const std::string& logPath) {
  std::string joined;
  for (const std::string& line : platform::SplitLines(platform::LastLines(logPath, 3), "\n")) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (!joined.empty()) joined += "; ";
    joined += line;
  }
  return joined;
}

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A remux by an ffmpeg: the source read as a plain file only, errors alone
// on its error output.
std::vector<std::string> RemuxArguments(const std::string& program, const std::string& from,
                                        const std::string& to) {
  std::vector<std::string> argv = {program, "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
  for (const std::string& option : media::TranscoderInputOptions(std::string()))
    argv.push_back(option);
  argv.insert(argv.end(), {"-i", from, "-c", "copy", to});
  return argv;
}

}  // namespace

CacheTransform::CacheTransform(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs,
                               Interim interim)
    : CUtilTransform(item, target, dirs), interim_(interim) {}

CacheTransform::~CacheTransform() { Stop(); }

std::string CacheTransform::Scratch(const std::string& suffix) const {
  return dirs_.scratch + item_->itemId + suffix;
}

const std::string& CacheTransform::CacheFile() const {
  return item_->cachePath.empty() ? item_->sourcePath : item_->cachePath;
}

std::string CacheTransform::HelperLog() const { return Scratch(".converter.log"); }

void CacheTransform::RemoveChainFiles() {
  // Named by the item's id: another item's files are never touched.
  for (const std::string& suffix : ChainSuffixes()) platform::DeleteFile(Scratch(suffix));
}

int CacheTransform::PrepareSource() {
  if (!target_ || !item_ || StopRequested()) return 0;
  // An earlier run of this item made its files from the same cache file: made
  // again, so that the interim progress never takes an old one for the new.
  RemoveChainFiles();
  sizeText_.clear();
  chain_ = Running;
  WakeSleepers();
  const std::string source = RunChain();
  platform::DeleteFile(HelperLog());
  if (source.empty() || StopRequested()) {
    RemoveChainFiles();
    chain_ = Gone;
    WakeSleepers();
    return 0;
  }
  chain_ = Done;
  WakeSleepers();
  Refresh(source);
  return StopRequested() ? 0 : 1;
}

void CacheTransform::Refresh(const std::string& source) {
  auto update = std::make_unique<SourceUpdate>();
  // A picture is what the cover and the row need.
  const bool probed = ProbeSource(*item_, source, update.get()) && update->hasPicture;
  if (!sizeText_.empty()) update->info.fileSizeText = sizeText_;
  // In the job's own process slot, so that a stop ends the cover's transcoder too.
  if (probed && !StopRequested())
    media::MakeCover(source, update->info, dirs_.cover, dirs_.work, Child());
  // The owner puts the new source in on its own thread while it handles the
  // message; one that does not (or is gone) leaves it to us.
  OfferSourceUpdate(*item_, std::move(update));
  if (!StopRequested()) target_->send(WM_ITEM_INFO_CHANGED, item_, 0, &StopFlag());
  std::unique_ptr<SourceUpdate> left = WithdrawSourceUpdate(*item_);
  if (left && !StopRequested()) ApplySourceUpdate(*item_, *left);
}

int CacheTransform::PrepareProgress() {
  const std::string waited = Scratch(interim_.waitedSuffix);
  std::minstd_rand random(static_cast<unsigned>(platform::MicrosecondsSinceEpoch()));
  const long long bound = std::max<long long>(1, (Timing().*interim_.pause).count());
  // Later percentages go on from the last step shown when the chain outlasts
  // the steps or fails.
  int shown = 0;
  auto chainOver = [this] { return chain_.load() >= Done; };
  for (int step = 0;; ++step) {
    if (StopRequested()) return shown;
    const int chain = chain_.load();
    if (chain == Done || (chain == Running && platform::FileExists(waited))) {
      if (!StopRequested()) target_->post(WM_CONVERT_PROGRESS, item_, interim_.finalPercent);
      return interim_.finalPercent;
    }
    // A failed chain is reported by the runner, once.
    if (chain == Gone || step > interim_.steps) return shown;
    const auto pause = std::chrono::milliseconds(
        Timing().randomStepPauses ? static_cast<long long>(random()) % bound : bound);
    if (!SleepUnless(pause, chainOver)) return shown;
    if (chainOver()) continue;
    if (StopRequested()) return shown;
    target_->post(WM_CONVERT_PROGRESS, item_, step);
    shown = step;
  }
}

bool CacheTransform::RunHelper(const std::string& what, const std::vector<std::string>& argv) {
  platform::ProcessOptions options;
  options.workDir = dirs_.work;
  options.stderrFile = HelperLog();
  std::string error;
  lastExit_ = -1;
  if (!Child().start(argv, options, &error)) {
    if (!StopRequested()) SetFailure(what + " could not be started: " + error, true);
    return false;
  }
  lastExit_ = Child().wait();
  return !StopRequested();
}

std::string CacheTransform::Failed(const std::string& why) {
  const std::string tail = HelperTail(HelperLog());
  SetFailure(tail.empty() ? why : why + ": " + tail, true);
  return std::string();
}

std::string CacheTransform::Missing(const std::string& what, const std::string& file) {
  std::string why = what + " did not make " + FileName(file);
  if (lastExit_ != 0) why += platform::Format(" (exit code %d)", lastExit_);
  return Failed(why);
}

// KUX: the plugin folder's own ffmpeg reads the format; a remux into MP4.
CUtilTransform_Kux::CUtilTransform_Kux(VideoItem* item, NotifyTarget* target,
                                       const EngineDirs& dirs)
    : CacheTransform(item, target, dirs, {".mp4", 10, 10, &EngineTiming::kuxStepPause}) {}

CUtilTransform_Kux::~CUtilTransform_Kux() { Stop(); }

std::vector<std::string> CUtilTransform_Kux::ChainSuffixes() const { return {".mp4"}; }

std::string CUtilTransform_Kux::RunChain() {
  const std::string what = "the KUX converter";
  const std::string video = Scratch(".mp4");
  if (!RunHelper(what, RemuxArguments(dirs_.plugin + "kux/ffmpeg", CacheFile(), video)))
    return std::string();
  // A remux that failed halfway may leave a file: only a clean end counts.
  if (LastExit() != 0 || !platform::IsRegularFile(video)) return Missing(what, video);
  return video;
}

// QLV: the converter writes an MP4 (with a temporary file and a bare-id
// file on its way), which the transcoder remuxes into MPEG-TS.
CUtilTransform_Qlv::CUtilTransform_Qlv(VideoItem* item, NotifyTarget* target,
                                       const EngineDirs& dirs)
    : CacheTransform(item, target, dirs, {".ts", 25, 25, &EngineTiming::cacheStepPause}) {}

CUtilTransform_Qlv::~CUtilTransform_Qlv() { Stop(); }

std::vector<std::string> CUtilTransform_Qlv::ChainSuffixes() const {
  return {".mp4.temp.mp4", "", ".mp4", ".ts"};
}

std::string CUtilTransform_Qlv::RunChain() {
  const std::string temp = Scratch(".mp4.temp.mp4");
  const std::string mp4 = Scratch(".mp4");
  const std::string bare = Scratch("");
  const std::string ts = Scratch(".ts");
  const std::string what = "the QLV converter";
  if (!RunHelper(what, {dirs_.plugin + "qlvconvert", CacheFile(), temp, mp4, bare}))
    return std::string();
  if (LastExit() != 0 || !platform::IsRegularFile(mp4)) return Missing(what, mp4);
  platform::DeleteFile(temp);
  platform::DeleteFile(bare);
  const std::string remux = "the transcoder's remux of the QLV video";
  if (!RunHelper(remux, RemuxArguments("ffmpeg", mp4, ts))) return std::string();
  if (LastExit() != 0 || !platform::IsRegularFile(ts)) return Missing(remux, ts);
  platform::DeleteFile(mp4);
  return ts;
}

// QSV: the converter writes an FLV; where that comes out small, the video is
// in its MP4 companion instead.
CUtilTransform_Qsv::CUtilTransform_Qsv(VideoItem* item, NotifyTarget* target,
                                       const EngineDirs& dirs)
    : CacheTransform(item, target, dirs, {".flv", 25, 25, &EngineTiming::cacheStepPause}) {}

CUtilTransform_Qsv::~CUtilTransform_Qsv() { Stop(); }

std::vector<std::string> CUtilTransform_Qsv::ChainSuffixes() const {
  // With the working files of our own converter.
  return {".flv", ".flv.mp4", ".flv.part", ".flv.part.log"};
}

std::string CUtilTransform_Qsv::RunChain() {
  const std::string flv = Scratch(".flv");
  const std::string companion = flv + ".mp4";
  const std::string what = "the QSV converter";
  if (!RunHelper(what, {dirs_.plugin + "qsvconvert", CacheFile(), flv})) return std::string();
  if (LastExit() != 0 || !platform::IsRegularFile(flv)) return Missing(what, flv);
  const int64_t size = std::max<int64_t>(0, platform::FileSize(flv));
  if (size >= item_->fileSize / 10) {
    platform::DeleteFile(companion);
    return flv;
  }
  if (!platform::IsRegularFile(companion)) {
    return Failed(platform::Format(
        "%s made only %s of video from a %s file and no %s beside it", what.c_str(),
        platform::StrFormatByteSize(size).c_str(),
        platform::StrFormatByteSize(item_->fileSize).c_str(), FileName(companion).c_str()));
  }
  sizeText_ = platform::StrFormatByteSize(platform::FileSize(companion));
  platform::DeleteFile(flv);
  return companion;
}

std::shared_ptr<CUtilTransform> MakeJob(VideoItem* item, NotifyTarget* target,
                                        const EngineDirs& dirs) {
  switch (item->cacheKind) {
    case media::CacheKind::Kux: return std::make_shared<CUtilTransform_Kux>(item, target, dirs);
    case media::CacheKind::Qlv: return std::make_shared<CUtilTransform_Qlv>(item, target, dirs);
    case media::CacheKind::Qsv: return std::make_shared<CUtilTransform_Qsv>(item, target, dirs);
    case media::CacheKind::None: break;
  }
  return std::make_shared<CUtilTransform>(item, target, dirs);
}

}  // namespace engine
