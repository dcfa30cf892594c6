#include "cli/front_end.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/start_up.h"
#include "engine/format_catalog.h"
#include "engine/video_item.h"
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
  // What the commands take from the file beyond the shown fields.
  fprintf(out, "inputFormat=%s\n", m.inputFormat.c_str());
  fprintf(out, "audioTrack=%d\n", m.audioTrack);
  fprintf(out, "pixelAspect=%d:%d\n", m.pixelAspectNum, m.pixelAspectDen);
  fprintf(out, "interlaced=%d\n", m.interlaced ? 1 : 0);
  std::string subtitles;
  for (const media::SubtitleTrack& t : m.subtitles)
    subtitles += (subtitles.empty() ? "" : ",") + t.codec + (t.text ? "" : "(picture)");
  fprintf(out, "subtitles=%s\n", subtitles.c_str());
  fprintf(out, "videoCodec=%s\n", m.videoCodec.c_str());
  fprintf(out, "pixelFormat=%s\n", m.pixelFormat.c_str());
  fprintf(out, "frameRateExact=%d/%d\n", m.frameRateNum, m.frameRateDen);
  fprintf(out, "audioCodec=%s\n", m.audioCodec.c_str());
  fprintf(out, "sampleRate=%d\n", m.sampleRate);
  fprintf(out, "streamsApart=%d\n", m.streamsApart ? 1 : 0);
  fprintf(out, "keyedTags=%d\n", m.keyedTags ? 1 : 0);
}

std::string Label(const VideoItem& item) { return platform::FileNameOf(item.sourcePath); }

}  // namespace

FrontEnd::FrontEnd(const CliOptions& options, FILE* out, FILE* err)
    : options_(options), out_(out), err_(err), view_(out, isatty(fileno(out)) == 1) {}

FrontEnd::~FrontEnd() { TearDown(); }

void FrontEnd::Interrupt() { g_interrupted = 1; }

bool FrontEnd::Pump(int waitMs) {
  session_->WaitAndDrain(waitMs);
  return !g_interrupted;
}

const std::vector<engine::ItemPtr>& FrontEnd::Items() const { return session_->Items(options_.list); }

void FrontEnd::Fail(const std::string& path, const std::string& why) {
  anyFailed_ = true;
  view_.End();
  std::string line = why;  // one line per failure, however many the reason holds
  std::replace(line.begin(), line.end(), '\n', ' ');
  fprintf(err_, "failed: %s: %s\n", path.c_str(), line.c_str());
  fflush(err_);
}

void FrontEnd::OnItemStarted(VideoItem& item) { view_.Begin(Label(item)); }

void FrontEnd::OnProgress(VideoItem& /*item*/, int percent) { view_.Update(percent); }

void FrontEnd::OnItemDone(VideoItem& item) {
  view_.Print(item.listKind == ConvertKind::Merge ? "part done: " + Label(item) : item.outputPath);
}

void FrontEnd::OnItemFailed(VideoItem& item, bool /*startFailed*/) {
  failedTold_.insert(&item);
  Fail(item.sourcePath, item.failureReason);
}

void FrontEnd::OnMergeStarted(const engine::MergeRequest& request) {
  view_.Begin("joining " + std::to_string(request.parts.size()) + " parts");
}

void FrontEnd::OnMergeProgress(int percent) { view_.Update(percent); }

void FrontEnd::OnMergeEnded(const engine::MergeOutcome& outcome) {
  view_.End();
  mergeOutcome_ = outcome;
  mergeEnded_ = true;
}

void FrontEnd::OnMergePartFailed() {
  if (mergeFailed_) return;
  mergeFailed_ = true;
  anyFailed_ = true;
  view_.End();
  fprintf(err_, "failed: the merge stopped because a part could not be converted\n");
  fflush(err_);
}

void FrontEnd::OnChoiceReset(ConvertKind list, const std::string& why) {
  view_.End();
  // The size named as the window names it ("720p").
  const engine::ListChoice now = session_->Choice(list);
  fprintf(err_,
          "note: the parts cannot be joined as they are: %s; they are converted to %s first\n",
          why.c_str(), engine::PresetLabel(now.format, now.preset, "").c_str());
  fflush(err_);
}

int FrontEnd::Run() {
  if (options_.probe) return Probe();
  if (!SetUp() || !Analyse()) {
    TearDown();
    return 1;
  }
  if (int code = ApplyChoices(); code != 0) {
    TearDown();
    return code;
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
    const std::string error = engine::ListSession::ProbeFile(path, &info);
    fprintf(out_, "path=%s\n", path.c_str());
    PrintMediaInfo(out_, info);
    if (!error.empty()) {
      fprintf(err_, "failed: %s: %s\n", path.c_str(), error.c_str());
      code = 1;
    }
  }
  return code;
}

bool FrontEnd::SetUp() {
  const app::AppPaths paths = app::StartUp();
  // Folders of this process only: the window's clean-up never reaches them,
  // and two front ends never share a progress file.
  dirs_ = engine::EngineDirs::ForApp(paths).ForProcess(
      platform::Format("cli-%d", static_cast<int>(getpid())));
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

  session_ = std::make_unique<engine::ListSession>(this, dirs_);
  session_->SetMakeCovers(false);
  // The options were checked against the same catalogue.
  if (!session_->SetChoice(options_.list, {options_.format, options_.preset})) {
    fprintf(err_, "pelmar-convert: this format and preset do not belong to this list\n");
    return false;
  }
  return AddFiles();
}

bool FrontEnd::AddFiles() {
  for (const std::string& file : options_.files) {
    const std::string path = platform::AbsolutePath(file);
    std::string why;
    if (!platform::IsRegularFile(path)) why = "not a file that can be read";
    else if (session_->AddFiles(options_.list, {path}).empty())
      why = "the audio and merge lists do not take this kind of file";
    if (why.empty()) continue;
    Fail(path, why);
    // A merge without one of its parts is no merge at all.
    if (options_.list == ConvertKind::Merge) return false;
  }
  return true;
}

bool FrontEnd::Analyse() {
  for (;;) {
    bool all = true;
    for (const auto& item : Items()) all = all && item->analysed;
    if (all) return true;
    if (!Pump(100)) return false;
  }
}

int FrontEnd::ApplyChoices() {
  // What depends on a file's contents fails that file alone; the others go on.
  const std::vector<engine::ItemPtr> items = Items();
  for (const auto& itemPtr : items) {
    VideoItem& item = *itemPtr;
    // A file the engine would refuse says so before any option is held against it.
    std::string why = engine::SourceRefusal(item);
    if (why.empty() && (options_.trim || options_.crop)) {
      engine::ItemClip clip = engine::ClipOf(item);
      if (options_.trim) {
        clip.trimStart = options_.trimStart;
        clip.trimEnd = options_.trimEnd;
      }
      if (options_.crop) {
        clip.cropX = options_.cropX;
        clip.cropY = options_.cropY;
        clip.cropWidth = options_.cropWidth;
        clip.cropHeight = options_.cropHeight;
      }
      session_->SetClip(item, clip, &why);
    }
    if (!why.empty()) {
      Fail(item.sourcePath, why);
      session_->RemoveItem(itemPtr);
      // A merge without one of its parts is no merge at all.
      if (options_.list == ConvertKind::Merge) {
        OnMergePartFailed();
        return 1;
      }
      continue;
    }
    std::string nameWhy;
    if (!options_.name.empty() && !session_->RenameItem(item, options_.name, &nameWhy)) {
      fprintf(err_, "pelmar-convert: --name: %s\n", nameWhy.c_str());
      return 2;
    }
  }
  if (options_.videoBitRate > 0 || options_.frameRate > 0)
    app::Settings().SetOverrides(options_.videoBitRate, options_.frameRate);
  return 0;
}

int FrontEnd::PrintCommands() {
  int code = anyFailed_ ? 1 : 0;  // a file that did not fit the options
  for (const engine::PlannedCommand& p : session_->PlanCommands(options_.list, outDir_)) {
    if (!p.error.empty()) {
      fprintf(err_, "failed: %s: %s\n", p.item->sourcePath.c_str(), p.error.c_str());
      code = 1;
      continue;
    }
    fprintf(out_, "%s\n", p.line.c_str());
  }
  return code;
}

int FrontEnd::Convert() {
  switch (session_->StartList(options_.list, outDir_)) {
    case engine::StartResult::NeedTwoParts:
      fprintf(err_, "pelmar-convert: a merge needs at least two files\n");
      return 1;
    case engine::StartResult::FolderFailed:
      fprintf(err_, "pelmar-convert: the output folder %s cannot be made\n", outDir_.c_str());
      return 1;
    case engine::StartResult::FolderReadOnly:
      fprintf(err_, "pelmar-convert: nothing can be saved in the output folder %s\n", outDir_.c_str());
      return 1;
    default:
      break;
  }
  const std::vector<engine::ItemPtr> items = Items();
  // Done once the list has settled; a failed merge part is followed by the
  // merge's own verdict.
  auto settled = [&] {
    if (!session_->Settled(options_.list)) return false;
    const bool allDone = std::all_of(items.begin(), items.end(), [](const engine::ItemPtr& item) {
      return item->state.load() == ItemState::Done;
    });
    return options_.list != ConvertKind::Merge || allDone || mergeFailed_;
  };
  while (!settled())
    if (!Pump(100)) return 1;
  for (const auto& item : items) {
    if (item->state.load() == ItemState::Idle) anyFailed_ = true;  // skipped merge parts
    // A source the analysis refused was left by the start: no job reported it.
    if (item->state.load() == ItemState::Failed && failedTold_.insert(item.get()).second)
      Fail(item->sourcePath, item->failureReason);
  }
  return anyFailed_ ? 1 : 0;
}

int FrontEnd::Join() {
  // The session starts the join after the last part, unless it finds a part
  // failed after all: then no join ever comes.
  while (!mergeEnded_ && !mergeFailed_)
    if (!Pump(100)) return 1;
  if (mergeFailed_) return 1;  // OnMergePartFailed() said why
  if (mergeOutcome_.end == engine::MergeOutcome::End::Done) {
    fprintf(out_, "%s\n", mergeOutcome_.outputPath.c_str());
    return 0;
  }
  fprintf(err_, "failed: the merge: %s\n", mergeOutcome_.reason.c_str());
  return 1;
}

void FrontEnd::TearDown() {
  if (session_) {
    session_->Shutdown();
    session_.reset();
  }
  if (!dirs_.log.empty()) dirs_.RemoveAll();
  dirs_ = engine::EngineDirs();
}

}  // namespace cli
