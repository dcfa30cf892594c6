#include "engine/merge_join.h"

#include <algorithm>

#include "app/core/run_log.h"
#include "engine/messages.h"
#include "engine/progress_file.h"
#include "engine/timing.h"
#include "engine/transcoder_run.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {

std::string ConcatListText(const std::vector<std::string>& parts,
                           const std::vector<double>& pictureSeconds) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string quoted;
    for (char c : parts[i]) {
      if (c == '\'') quoted += "'\\''";
      else quoted += c;
    }
    text += "file '" + quoted + "'\r\n";
    if (i < pictureSeconds.size() && pictureSeconds[i] > 0)
      text += platform::Format("duration %.6f\r\n", pictureSeconds[i]);
  }
  return text;
}

JoinPlan PlanJoin(const std::vector<PartFormat>& parts, const std::string& extension) {
  JoinPlan plan;
  bool same = !parts.empty();
  for (const PartFormat& p : parts) {
    same = same && SameFormat(parts.front(), p);
    plan.videoBitRate = std::max(plan.videoBitRate, p.videoBitRate);
  }
  if (same) {
    // AAC copied into AVI gives non-monotonic timestamps: encode the sound there.
    plan.mode = extension == "avi" && parts.front().audioCodec == "aac"
                    ? JoinMode::CopyVideoEncodeAudio
                    : JoinMode::Copy;
    return plan;
  }
  plan.mode = JoinMode::Encode;
  if (!parts.empty()) plan.videoEncoder = parts.front().videoEncoder;
  return plan;
}

Command BuildJoinCommand(const std::string& progressPath, const std::string& listPath,
                         const std::string& outputPath, const JoinPlan& plan) {
  Command cmd;
  cmd.Add({"-safe", "0", "-hide_banner", "-progress"});
  cmd.AddPath(progressPath);
  cmd.Add({"-y", "-f", "concat", "-i"});
  cmd.AddPath(listPath);
  cmd.Add({"-map", "0"});
  switch (plan.mode) {
    case JoinMode::Copy:
      cmd.Add({"-c", "copy"});
      break;
    case JoinMode::CopyVideoEncodeAudio:
      cmd.Add({"-c:v", "copy", "-c:a", "aac"});
      break;
    case JoinMode::Encode:
      if (!plan.videoEncoder.empty()) cmd.Add({"-c:v", plan.videoEncoder});
      if (plan.videoBitRate > 0)
        cmd.Add({"-b:v", platform::Format("%lldk", plan.videoBitRate / 1000)});
      cmd.Add({"-c:a", "aac"});
      break;
  }
  cmd.AddPath(outputPath);
  return cmd;
}

MergeJoin::MergeJoin(const MergeRequest& request, NotifyTarget* target, const EngineDirs& dirs)
    : request_(request),
      target_(target),
      dirs_(dirs),
      progressPath_(dirs.log + platform::Format("merge_%lld", static_cast<long long>(
                                                                  platform::MicrosecondsSinceEpoch()))) {
  dirs_.Ensure();
}

MergeJoin::~MergeJoin() { Stop(); }

void MergeJoin::Start() {
  if (!target_) return;
  runner_ = std::thread(&MergeJoin::RunnerMain, this);
  monitor_ = std::thread(&MergeJoin::MonitorMain, this);
}

void MergeJoin::Stop() {
  std::lock_guard<std::mutex> stopLock(stopMutex_);
  signals_.RequestStop();
  process_.kill();
  if (runner_.joinable()) runner_.join();
  if (monitor_.joinable()) monitor_.join();
  if (outputBegun_ && !succeeded_) platform::DeleteFile(OutputPath());
}

std::string MergeJoin::OutputPath() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return outputPath_;
}

std::string MergeJoin::FailureReason() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return reason_;
}

std::string MergeJoin::CommandLine() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return commandLine_;
}

void MergeJoin::SetText(std::string* field, const std::string& value) {
  std::lock_guard<std::mutex> lock(textMutex_);
  *field = value;
}

void MergeJoin::RunnerMain() {
  auto fail = [this](const std::string& why) {
    SetText(&reason_, why);
    failed_ = true;
  };
  const long long now = platform::MicrosecondsSinceEpoch();
  const std::string listPath = dirs_.scratch + platform::Format("%lld.txt", now);
  const std::string stderrPath = progressPath_ + ".log";
  // Whatever is there already is not this join's to remove afterwards.
  const bool listOurs = !platform::FileExists(listPath);
  const bool progressOurs = !platform::FileExists(progressPath_);
  const bool stderrOurs = !platform::FileExists(stderrPath);
  std::vector<PartFormat> formats;
  std::vector<double> pictureSeconds;
  for (const std::string& part : request_.parts) {
    formats.push_back(ProbePartFormat(part));
    pictureSeconds.push_back(formats.back().videoSeconds);
  }
  const bool listWritten =
      listOurs &&
      platform::WriteFileAtomic(listPath, ConcatListText(request_.parts, pictureSeconds), 0600);
  if (!listWritten) {
    fail("the list of parts could not be written: " + listPath);
  } else if (!signals_.StopRequested()) {
    SetText(&outputPath_, platform::WithTrailingSlash(request_.outputFolder) + request_.mergeName +
                              platform::Format("_%lld.", now) + request_.outputExtension);
    Command cmd = BuildJoinCommand(progressPath_, listPath, OutputPath(),
                                   PlanJoin(formats, request_.outputExtension));
    SetText(&commandLine_, cmd.Display());
    TranscoderRun run{&cmd, dirs_.work, stderrPath, progressPath_, OutputPath()};
    RunResult result = RunAndJudge(run, process_, signals_.StopFlag(), outputBegun_);
    if (result.outcome == RunOutcome::Succeeded) succeeded_ = true;
    else if (result.outcome != RunOutcome::Stopped) fail(result.reason);
  }
  // The join's own helper files go whatever the outcome; the reason of a
  // failure was read from them already.
  if (listWritten) platform::DeleteFile(listPath);
  if (progressOurs) platform::DeleteFile(progressPath_);
  if (stderrOurs) platform::DeleteFile(stderrPath);
  signals_.MarkRunnerEnded();
}

void MergeJoin::MonitorMain() {
  while (signals_.Poll(Timing().progressPoll)) {
    if (signals_.RunnerEnded().isSet()) {
      if (succeeded_) {
        if (signals_.Sleep(Timing().finalDelay) && !signals_.StopRequested())
          target_->post(WM_MERGE_DONE, nullptr, 0);
      } else if (failed_ && !signals_.StopRequested()) {
        if (outputBegun_) platform::DeleteFile(OutputPath());
        app::RunLog("merge failed: %s", FailureReason().c_str());
        target_->post(WM_MERGE_FAILED, nullptr, 0);
      }
      return;
    }
    int percent = ProgressPercent(ReadProgressFile(progressPath_), request_.totalSeconds);
    if (percent > 0 && percent < 100 && !signals_.StopRequested())
      target_->post(WM_MERGE_PROGRESS, reinterpret_cast<void*>(static_cast<intptr_t>(percent)), 0);
  }
}

}  // namespace engine
