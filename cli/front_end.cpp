#include "cli/front_end.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/crash.h"
#include "app/core/language.h"
#include "app/core/run_log.h"
#include "engine/command.h"
#include "engine/merge_join.h"
#include "engine/output_naming.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/text.h"

namespace cli {

using engine::ConvertKind;
using engine::ItemState;
using engine::VideoItem;

namespace {

volatile sig_atomic_t g_interrupted = 0;

const char* CacheKindText(media::CacheKind k) {
  switch (k) {
    case media::CacheKind::Qsv: return "1";
    case media::CacheKind::Kux: return "2";
    case media::CacheKind::Qlv: return "3";
    default: return "0";
  }
}

void PrintMediaInfo(FILE* out, const media::MediaInfo& m) {
  fprintf(out, "title=%s\n", m.title.c_str());
  fprintf(out, "fileSizeText=%s\n", m.fileSizeText.c_str());
  fprintf(out, "extension=%s\n", m.extension.c_str());
  fprintf(out, "durationText=%s\n", m.durationText.c_str());
  fprintf(out, "resolutionText=%s\n", m.resolutionText.c_str());
  fprintf(out, "coverPath=%s\n", m.coverPath.c_str());
  fprintf(out, "audioBitRateText=%s\n", m.audioBitRateText.c_str());
  fprintf(out, "cacheKind=%s\n", CacheKindText(m.cacheKind));
  fprintf(out, "durationSeconds=%d\n", m.durationSeconds);
  fprintf(out, "height=%d\n", m.height);
  fprintf(out, "width=%d\n", m.width);
  fprintf(out, "audioChannels=%d\n", m.audioChannels);
  fprintf(out, "coverSeekSeconds=%d\n", m.coverSeekSeconds);
  fprintf(out, "bitRate=%lld\n", static_cast<long long>(m.bitRate));
  fprintf(out, "fileSize=%lld\n", static_cast<long long>(m.fileSize));
  fprintf(out, "hasDataStream=%d\n", m.hasDataStream ? 1 : 0);
  fprintf(out, "rotation=%d\n", m.rotation);
  fprintf(out, "frameRate=%g\n", static_cast<double>(m.frameRate));
}

bool Finished(ItemState s) {
  return s == ItemState::Done || s == ItemState::Failed || s == ItemState::Stopped;
}

}  // namespace

FrontEnd::FrontEnd(const CliOptions& options, FILE* out, FILE* err)
    : options_(options), out_(out), err_(err), view_(out, isatty(fileno(out)) == 1) {}

FrontEnd::~FrontEnd() { TearDown(); }

void FrontEnd::Interrupt() { g_interrupted = 1; }

void FrontEnd::post(int msg, void* wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    inbox_.push_back({msg, wParam, lParam, 0});
  }
  cv_.notify_all();
}

void FrontEnd::send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) {
  std::unique_lock<std::mutex> lock(mutex_);
  long long id = nextSendId_++;
  inbox_.push_back({msg, wParam, lParam, id});
  cv_.notify_all();
  while (handledSendId_ < id && !(cancel && cancel->load()))
    cv_.wait_for(lock, std::chrono::milliseconds(20));
}

bool FrontEnd::Pump(int waitMs) {
  std::deque<Posted> batch;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !inbox_.empty(); });
    batch.swap(inbox_);
  }
  for (const Posted& m : batch) {
    Handle(m);
    if (m.sendId) {
      std::lock_guard<std::mutex> lock(mutex_);
      handledSendId_ = m.sendId;
      cv_.notify_all();
    }
  }
  return !g_interrupted;
}

std::string FrontEnd::Label(const VideoItem& item) const {
  return platform::FileNameOf(item.sourcePath);
}

void FrontEnd::Fail(VideoItem* item, const std::string& why) {
  anyFailed_ = true;
  view_.End();
  fprintf(err_, "failed: %s: %s\n", item->sourcePath.c_str(), why.c_str());
  fflush(err_);
}

void FrontEnd::Handle(const Posted& m) {
  using namespace engine;
  auto* item = static_cast<VideoItem*>(m.wParam);
  switch (m.msg) {
    case WM_CONVERT_PROGRESS: {
      auto job = queue_->JobOf(item);
      if (!job) break;  // a late message of a finished job
      if (m.lParam == 100) {
        item->outputPath = job->OutputPath();
        item->state = ItemState::Done;
        queue_->DestroyJob(item);
        view_.Print(item->listKind == ConvertKind::Merge ? "part done: " + Label(*item)
                                                         : item->outputPath);
      } else {
        view_.Update(static_cast<int>(m.lParam));
      }
      break;
    }
    case WM_CONVERT_START_FAILED:
    case WM_CONVERT_FAILED: {
      auto job = queue_->JobOf(item);
      if (!job) break;  // the second report of one failure
      std::string why = job->FailureReason();
      item->state = ItemState::Failed;
      queue_->DestroyJob(item);
      Fail(item, why.empty() ? "the conversion failed" : why);
      break;
    }
    case WM_MERGE_FAILED:
      if (join_) {
        joinResult_ = WM_MERGE_FAILED;
      } else if (!mergeFailed_) {
        mergeFailed_ = true;
        anyFailed_ = true;
        fprintf(err_, "failed: the merge stopped because a part could not be converted\n");
      }
      break;
    case WM_MERGE_PROGRESS:
      view_.Update(static_cast<int>(reinterpret_cast<intptr_t>(m.wParam)));
      break;
    case WM_MERGE_DONE:
      joinResult_ = WM_MERGE_DONE;
      break;
    default:
      break;  // WM_ITEM_INFO_CHANGED: the item already holds what there is to show
  }
}

int FrontEnd::Run() {
  if (options_.probe) return Probe();
  if (!SetUp() || !Analyse()) {
    TearDown();
    return 1;
  }
  if (!ApplyChoices()) {
    TearDown();
    return 2;
  }
  if (options_.printCommand) {
    int code = PrintCommands();
    TearDown();
    return code;
  }
  int code = Convert();
  if (code == 0 && options_.list == ConvertKind::Merge) code = Join();
  view_.End();
  if (g_interrupted) {
    fprintf(err_, "stopped: nothing unfinished was kept\n");
    code = 1;
  }
  TearDown();
  return code;
}

int FrontEnd::Probe() {
  int code = 0;
  bool first = true;
  for (const std::string& file : options_.files) {
    if (!first) fprintf(out_, "\n");
    first = false;
    std::string path = platform::AbsolutePath(file);
    media::MediaInfo info;
    media::FillFromPath(path, info);
    media::ProbeReport report = media::ProbeMedia(path, info);
    fprintf(out_, "path=%s\n", path.c_str());
    PrintMediaInfo(out_, info);
    if (!report.error.empty()) {
      fprintf(err_, "failed: %s: %s\n", path.c_str(), report.error.c_str());
      code = 1;
    }
  }
  return code;
}

bool FrontEnd::SetUp() {
  app::AppPaths paths = app::AppPaths::Build();
  paths.CreateDataDir();
  app::SetPaths(paths);
  app::Settings().Read(paths);
  app::SetCurrentLanguageId(app::StartLanguageId(paths));
  app::SetCrashFilePath(app::CrashFilePath(paths.installDir, paths.dataDir));
  if (!paths.dataDir.empty()) app::SetRunLogPath(paths.DataFile("run.dat"));
  // Folders of this process only: the window's clean-up never reaches them,
  // and two front ends never share a progress file.
  dirs_ = engine::EngineDirs::ForApp(paths).ForProcess(
      platform::Format("cli-%d", static_cast<int>(getpid())));
  engine::SetDirs(dirs_);
  if (paths.tempDir.empty() || !dirs_.Ensure()) {
    fprintf(err_, "pelmar-convert: no private temporary folder could be made\n");
    return false;
  }

  outDir_ = options_.outDir;
  if (outDir_.empty()) outDir_ = app::ReadOutputPath(paths);
  if (outDir_.empty()) outDir_ = app::DefaultOutputFolder();
  outDir_ = platform::WithTrailingSlash(platform::AbsolutePath(outDir_));
  if (!options_.printCommand && !platform::CreateFolders(outDir_)) {
    fprintf(err_, "pelmar-convert: the output folder %s cannot be made\n", outDir_.c_str());
    return false;
  }

  for (const std::string& file : options_.files) {
    auto item = std::make_shared<VideoItem>(file, options_.list);
    if (!platform::IsRegularFile(item->sourcePath)) {
      Fail(item.get(), "not a file that can be read");
      // A merge without one of its parts is no merge at all.
      if (options_.list == ConvertKind::Merge) return false;
      continue;
    }
    items_.push_back(item);
  }
  queue_ = std::make_unique<engine::ConvertQueue>(this, dirs_);
  queue_->SetMakeCovers(false);
  return true;
}

bool FrontEnd::Analyse() {
  queue_->AddForAnalysis(items_);
  for (;;) {
    bool all = true;
    for (const auto& item : items_) all = all && item->analysed;
    if (all) return true;
    if (!Pump(100)) return false;
  }
}

bool FrontEnd::ApplyChoices() {
  const std::string ext = FormatToken(options_.format);
  for (size_t i = 0; i < items_.size(); ++i) {
    VideoItem& item = *items_[i];
    const std::string label = item.sourcePath;
    if (options_.trim) {
      if (options_.trimEnd > item.durationSeconds) {
        fprintf(err_, "pelmar-convert: --trim %d-%d lies past the end of %s (%d seconds)\n",
                options_.trimStart, options_.trimEnd, label.c_str(), item.durationSeconds);
        return false;
      }
      item.trimStart = options_.trimStart;
      item.trimEnd = options_.trimEnd;
    }
    if (options_.crop) {
      if (options_.cropX + options_.cropWidth > item.width ||
          options_.cropY + options_.cropHeight > item.height) {
        fprintf(err_, "pelmar-convert: --crop %d,%d,%d,%d lies outside the %dx%d picture of %s\n",
                options_.cropX, options_.cropY, options_.cropWidth, options_.cropHeight,
                item.width, item.height, label.c_str());
        return false;
      }
      item.cropX = options_.cropX;
      item.cropY = options_.cropY;
      item.cropWidth = engine::EvenCropSide(options_.cropWidth, options_.cropX, item.width);
      item.cropHeight = engine::EvenCropSide(options_.cropHeight, options_.cropY, item.height);
    }
    item.outputDir = outDir_;
    item.outputExtension = ext;
    item.sizePreset = options_.preset;
    if (options_.list == ConvertKind::Audio) {
      switch (options_.preset) {
        case media::SizePreset::Audio256: item.outputAudioBitRateText = "256"; break;
        case media::SizePreset::Audio128: item.outputAudioBitRateText = "128"; break;
        case media::SizePreset::Audio96: item.outputAudioBitRateText = "96"; break;
        default: item.outputAudioBitRateText = item.audioBitRateText; break;
      }
    } else {
      item.outputAudioBitRateText = item.audioBitRateText;
      // Merge parts at the source size all take the first part's size.
      const VideoItem& sizer =
          options_.list == ConvertKind::Merge && options_.preset == media::SizePreset::Origin
              ? *items_.front()
              : item;
      item.outputResolutionText =
          media::FormatOutputResolution(options_.format, options_.preset, sizer.width, sizer.height);
    }
    if (options_.list == ConvertKind::Merge) item.outputName = "merge_" + item.itemId;
    else if (!options_.name.empty()) item.outputName = options_.name;
  }
  if (options_.videoBitRate > 0 || options_.frameRate > 0)
    app::Settings().SetOverrides(options_.videoBitRate, options_.frameRate);
  return true;
}

int FrontEnd::PrintCommands() {
  int code = 0;
  for (const auto& item : items_) {
    engine::NamingResult naming = engine::NameOutput(*item, dirs_);
    if (!naming.ok) {
      fprintf(err_, "failed: %s: %s\n", item->sourcePath.c_str(), naming.error.c_str());
      code = 1;
      continue;
    }
    // As a job builds it: the overrides go to the first picture command only.
    engine::CommandInputs in = engine::JobCommandInputs(
        *item, engine::NewProgressFilePath(*item, dirs_), naming.outputPath);
    fprintf(out_, "%s\n", engine::BuildCommand(*item, in).Display().c_str());
  }
  return code;
}

int FrontEnd::Convert() {
  for (const auto& item : items_) {
    item->state = ItemState::Queued;
    queue_->Enqueue(item);
  }
  queue_->Wake();
  size_t begun = 0;  // items run in list order: the next to show is items_[begun]
  for (;;) {
    bool all = true;
    for (const auto& item : items_) {
      ItemState s = item->state.load();
      all = all && (Finished(s) || s == ItemState::Idle);
    }
    if (begun < items_.size() && queue_->JobOf(items_[begun].get())) {
      view_.Begin(Label(*items_[begun]));
      ++begun;
    }
    if (all) break;
    if (!Pump(100)) return 1;
  }
  // Late second reports and the merge verdict come right after the last job.
  Pump(50);
  for (const auto& item : items_)
    if (item->state.load() == ItemState::Idle) anyFailed_ = true;  // skipped merge parts
  return anyFailed_ ? 1 : 0;
}

int FrontEnd::Join() {
  engine::MergeRequest request;
  for (const auto& item : items_) {
    request.parts.push_back(item->outputPath);
    request.totalSeconds += item->KeptSeconds();
  }
  request.outputExtension = FormatToken(options_.format);
  request.outputFolder = outDir_;
  std::string mergeName = app::LangText("MergeFileName", "Text");
  if (!mergeName.empty() && mergeName.find('/') == std::string::npos) request.mergeName = mergeName;
  join_ = std::make_unique<engine::MergeJoin>(request, this, dirs_);
  view_.Begin("joining " + std::to_string(items_.size()) + " parts");
  join_->Start();
  while (joinResult_ == 0)
    if (!Pump(100)) return 1;
  view_.End();
  if (joinResult_ == engine::WM_MERGE_DONE) {
    fprintf(out_, "%s\n", join_->OutputPath().c_str());
    return 0;
  }
  fprintf(err_, "failed: the merge: %s\n", join_->FailureReason().c_str());
  return 1;
}

void FrontEnd::TearDown() {
  if (join_) {
    join_->Stop();
    join_.reset();
  }
  if (queue_) {
    queue_->Shutdown();
    queue_.reset();
  }
  if (!dirs_.log.empty()) dirs_.RemoveAll();
  dirs_ = engine::EngineDirs();
}

}  // namespace cli
