#include "engine/transform.h"

#include "app/core/app_settings.h"
#include "app/core/run_log.h"
#include "engine/command.h"
#include "engine/messages.h"
#include "engine/output_naming.h"
#include "engine/progress_file.h"
#include "engine/transcoder_run.h"
#include "engine/timing.h"
#include "engine/video_item.h"
#include "platform/files.h"
#include "platform/thread_signal_stack.h"

namespace engine {

CommandInputs JobCommandInputs(const VideoItem& item, const std::string& progressPath,
                               const std::string& outputPath) {
  CommandInputs in;
  in.progressPath = progressPath;
  in.outputPath = outputPath;
  in.muxingQueueSize = app::Settings().MuxingQueueSize();
  in.customBitRate = item.customBitRate;
  in.customFrameRate = item.customFrameRate;
  return in;
}

CUtilTransform::CUtilTransform(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs)
    : item_(item), target_(target), dirs_(dirs), failureMessage_(WM_CONVERT_FAILED) {}

CUtilTransform::~CUtilTransform() { Stop(); }

void CUtilTransform::Start() {
  if (!target_ || !item_) {
    signals_.MarkRunnerEnded();
    reportsEnded_.set();
    return;
  }
  auto failAtOnce = [this](const std::string& why) {
    SetFailure(why);
    verdict_ = JobVerdict::Failed;
    signals_.MarkRunnerEnded();
    if (!StopRequested()) target_->post(WM_CONVERT_FAILED, item_, 0);
    reportsEnded_.set();
  };
  // The private folder is checked again: it may have been replaced since start.
  if (!dirs_.Ensure()) return failAtOnce("the temporary folder is not private: " + dirs_.scratch);
  NamingResult naming = NameOutput(*item_, dirs_);
  if (!naming.ok) return failAtOnce(naming.error);
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    outputPath_ = naming.outputPath;
    outputName_ = naming.outputName;
  }
  if (item_->listKind == ConvertKind::Merge) names_ = {naming.outputName};
  else names_ = OutputNameChoices(*item_);
  progressPath_ = NewProgressFilePath(*item_, dirs_);
  stderrPath_ = progressPath_ + ".log";
  platform::DeleteFile(progressPath_);
  StartThreads();
}

void CUtilTransform::AfterStop() {
  if (progressPath_.empty()) return;
  platform::DeleteFile(progressPath_);
  platform::DeleteFile(stderrPath_);
}

void CUtilTransform::SetFailure(const std::string& reason, bool startFailed) {
  std::lock_guard<std::mutex> lock(textMutex_);
  reason_ = reason;
  if (startFailed) failureMessage_ = WM_CONVERT_START_FAILED;
}

int CUtilTransform::PrepareSource() { return target_ && item_ && !StopRequested() ? 1 : 0; }

int CUtilTransform::PrepareProgress() { return 0; }

void CUtilTransform::RunnerMain() {
  platform::ThreadSignalStack signalStack;
  while (!StopRequested() && !item_->analysed.load())
    SleepUnlessStopped(Timing().analysisPoll);
  // Analysed: the analysis wrote its findings before it said so. A source it
  // could not read, or a picture list's file without one, never reaches the
  // transcoder.
  const std::string refusal = StopRequested() ? std::string() : SourceRefusal(*item_);
  if (!refusal.empty()) {
    SetFailure(refusal);
    verdict_ = JobVerdict::Failed;
  } else if (!StopRequested() && PrepareSource() == 1) {
    BuildAndRun();
  } else if (!StopRequested()) {
    if (FailureReason().empty()) SetFailure("the source could not be prepared");
    verdict_ = JobVerdict::Failed;
  }
  signals_.MarkRunnerEnded();
}

void CUtilTransform::BuildAndRun() {
  keptSeconds_ = item_->KeptSeconds();
  const std::string folder = platform::ParentDir(OutputPath());
  std::string error;
  if (!temp_.Create(folder, item_->outputExtension, dirs_.running, &error)) {
    SetFailure(error);
    verdict_ = JobVerdict::Failed;
    return;
  }
  const std::string writePath = temp_.WritePath();
  Command cmd = BuildCommand(*item_, JobCommandInputs(*item_, progressPath_, writePath));
  // The log shows the file by its plain name, not by our handle of its folder.
  SetText(&commandLine_, temp_.ShownIn(cmd.Display()));

  TranscoderRun run{&cmd, dirs_.work, stderrPath_, progressPath_, writePath,
                    OutputPath()};
  RunResult result = RunAndJudge(run, process_, signals_.StopFlag(), outputBegun_);
  if (result.outcome == RunOutcome::Succeeded && !PutInPlace()) {
    temp_.Discard();
    verdict_ = JobVerdict::Failed;
    return;
  }
  temp_.Discard();
  switch (result.outcome) {
    case RunOutcome::NotStarted:
      // Reported by the monitor, which reports every failure once.
      SetFailure(result.reason, true);
      verdict_ = JobVerdict::Failed;
      break;
    case RunOutcome::Stopped:
      verdict_ = JobVerdict::Stopped;
      break;
    case RunOutcome::Succeeded:
      verdict_ = JobVerdict::Succeeded;
      break;
    case RunOutcome::Failed:
      SetFailure(result.reason);
      verdict_ = JobVerdict::Failed;
      break;
  }
}

bool CUtilTransform::PutInPlace() {
  const std::string folder = platform::WithTrailingSlash(platform::ParentDir(OutputPath()));
  const std::string dotExtension = "." + item_->outputExtension;
  std::string error;
  if (item_->listKind == ConvertKind::Merge) {
    // A part in the private scratch folder replaces an older part of its item.
    if (temp_.Replace(names_.front() + dotExtension, &error)) return true;
    SetFailure(error);
    return false;
  }
  std::vector<std::string> files;
  for (const std::string& name : names_) files.push_back(name + dotExtension);
  const int used = temp_.MoveInto(files, &error);
  if (used < 0) {
    SetFailure(error);
    return false;
  }
  std::lock_guard<std::mutex> lock(textMutex_);
  outputName_ = names_[static_cast<size_t>(used)];
  outputPath_ = folder + files[static_cast<size_t>(used)];
  return true;
}

void CUtilTransform::MonitorMain() {
  platform::ThreadSignalStack signalStack;
  const int base = PrepareProgress();
  progressBase_ = base;
  while (target_ && signals_.Poll(Timing().progressPoll)) {
    if (signals_.RunnerEnded().isSet()) {
      Finish(verdict_.load());
      break;
    }
    int percent = ProgressPercent(ReadProgressFile(progressPath_), keptSeconds_.load());
    if (percent > 0 && percent < 100 && !StopRequested())
      target_->post(WM_CONVERT_PROGRESS, item_, ShownPercent(base, percent));
  }
  reportsEnded_.set();
}

void CUtilTransform::Finish(JobVerdict verdict) {
  if (verdict == JobVerdict::Succeeded) {
    if (!StopRequested()) target_->post(WM_CONVERT_PROGRESS, item_, 100);
    return;
  }
  if (verdict != JobVerdict::Failed || StopRequested()) return;
  std::string reason = FailureReason();
  app::RunLog("convert failed: %s: %s", item_->sourcePath.c_str(), reason.c_str());
  target_->post(failureMessage_.load(), item_, 0);
}

}  // namespace engine
