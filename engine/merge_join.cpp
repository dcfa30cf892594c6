#include "engine/merge_join.h"

#include <algorithm>
#include <fstream>

#include "app/core/run_log.h"
#include "engine/format_catalog.h"
#include "engine/messages.h"
#include "engine/progress_file.h"
#include "engine/timing.h"
#include "engine/transcoder_run.h"
#include "media/container.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/thread_signal_stack.h"

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

namespace {

std::string MetadataEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n') escaped += '\\';
    if (c != '\r') escaped += c;
  }
  return escaped;
}

}  // namespace

std::string JoinMetadataText(const Tags& firstPartTags, const std::vector<std::string>& titles,
                             const std::vector<double>& partSeconds) {
  std::string text = ";FFMETADATA1\n";
  for (const auto& [key, value] : firstPartTags)
    if (!key.empty() && !media::IsContainerMark(key))
      text += MetadataEscaped(key) + "=" + MetadataEscaped(value) + "\n";
  long long start = 0;
  for (size_t i = 0; i < titles.size() && i < partSeconds.size(); ++i) {
    const long long end = start + static_cast<long long>(partSeconds[i] * 1000.0 + 0.5);
    if (end <= start) break;  // a part of unknown length: no chapters from here on
    text += platform::Format("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%lld\nEND=%lld\n", start, end);
    text += "title=" + MetadataEscaped(titles[i]) + "\n";
    start = end;
  }
  return text;
}

JoinPlan PlanJoin(const std::vector<PartFormat>& parts, const std::string& extension,
                  media::OutputFormat format) {
  JoinPlan plan;
  plan.soundCodec = TrackSoundCodecArgs(format);
  if (!parts.empty() && media::NeedsKeyedMetadata(extension)) {
    for (const auto& tag : parts.front().tags)
      plan.keyedTags = plan.keyedTags || media::IsKeyedTag(tag.first);
  }
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
  plan.videoCodec = JoinCodecArgs(format);
  return plan;
}

Command BuildJoinCommand(const std::string& progressPath, const std::string& listPath,
                         const std::string& metadataPath, const std::string& outputPath,
                         const JoinPlan& plan) {
  Command cmd;
  cmd.Add({"-safe", "0", "-hide_banner", "-progress"});
  cmd.AddPath(progressPath);
  // The parts are read through the file protocol alone, as any source is.
  cmd.Add({"-y", "-protocol_whitelist", "file", "-f", "concat", "-i"});
  cmd.AddPath(listPath);
  cmd.Add({"-protocol_whitelist", "file", "-f", "ffmetadata", "-i"});
  cmd.AddPath(metadataPath);
  if (plan.pictureAndOneSound) {
    cmd.Add({"-map", "0:v:0"});
    if (plan.soundTrack >= 0) cmd.Add({"-map", platform::Format("0:a:%d", plan.soundTrack)});
  } else {
    cmd.Add({"-map", "0"});
  }
  cmd.Add({"-map_metadata", "1", "-map_chapters", "1"});
  if (plan.keyedTags) cmd.Add({"-movflags", "use_metadata_tags"});
  switch (plan.mode) {
    case JoinMode::Copy:
      cmd.Add({"-c", "copy"});
      break;
    case JoinMode::CopyVideoEncodeAudio:
      cmd.Add({"-c:v", "copy"});
      for (const std::string& arg : plan.soundCodec) cmd.Add({arg});
      break;
    case JoinMode::Encode:
      if (!plan.videoCodec.empty()) {
        for (const std::string& arg : plan.videoCodec) cmd.Add({arg});
      } else if (!plan.videoEncoder.empty()) {
        cmd.Add({"-c:v", plan.videoEncoder});
      }
      if (plan.videoBitRate > 0)
        cmd.Add({"-b:v", platform::Format("%lldk", plan.videoBitRate / 1000)});
      for (const std::string& arg : plan.soundCodec) cmd.Add({arg});
      break;
  }
  cmd.AddPath(outputPath);
  return cmd;
}

std::string CheckJoinParts(const std::vector<std::string>& parts) {
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const char* problem = nullptr;
    if (!platform::FileExists(part)) problem = "is missing";
    else if (!platform::IsRegularFile(part)) problem = "is not a file";
    else if (platform::FileSize(part) <= 0) problem = "is empty";
    if (problem) return platform::Format("part %zu %s: %s", i + 1, problem, part.c_str());
  }
  return {};
}

std::string PartReadFailure(const std::string& errorOutputPath,
                            const std::vector<std::string>& parts, const std::string& listPath) {
  std::ifstream in(errorOutputPath, std::ios::binary);
  // Strips the "[concat @ 0x...] " that names the transcoder's component.
  auto clean = [](const std::string& line) {
    std::string text = platform::Trim(line);
    size_t close = text.find("] ");
    if (!text.empty() && text[0] == '[' && close != std::string::npos)
      text = text.substr(close + 2);
    return "a part could not be read: " + text;
  };
  auto namesInput = [&](const std::string& line) {
    if (line.find(listPath) != std::string::npos) return true;
    for (const std::string& part : parts)
      if (line.find(part) != std::string::npos) return true;
    return false;
  };
  std::string invalidData, line;
  while (std::getline(in, line)) {
    // The status line is redrawn with '\r': a message may follow it on the same line.
    size_t start = 0;
    while (start <= line.size()) {
      size_t end = line.find('\r', start);
      if (end == std::string::npos) end = line.size();
      std::string piece = line.substr(start, end - start);
      // The line that names the part wins over the list's "Invalid data" that follows it.
      if (piece.find("Impossible to open") != std::string::npos) return clean(piece);
      if (invalidData.empty() && piece.find("Invalid data") != std::string::npos &&
          namesInput(piece))
        invalidData = clean(piece);
      start = end + 1;
    }
  }
  return invalidData;
}

std::string ShortJoinReason(double outputSeconds, double partsSeconds, size_t partCount) {
  if (outputSeconds <= 0 || partsSeconds <= 0) return {};
  const double tolerance = 1.0 * static_cast<double>(partCount) + 0.05 * partsSeconds;
  if (outputSeconds >= partsSeconds - tolerance) return {};
  return platform::Format("the joined file holds %.1f s of %.1f s: a part could not be read",
                          outputSeconds, partsSeconds);
}

std::vector<std::string> JoinedFileNames(const std::string& mergeName, long long stamp,
                                         const std::string& extension) {
  constexpr size_t kMaxFileName = 255;
  std::vector<std::string> names;
  for (int i = 0; i < 4; ++i) {
    const std::string tail = platform::Format("_%lld", stamp) +
                             (i > 0 ? platform::Format("_%d", i) : std::string()) + "." + extension;
    if (tail.size() >= kMaxFileName) break;
    names.push_back(platform::TruncateUtf8Bytes(mergeName, kMaxFileName - tail.size()) + tail);
  }
  return names;
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
  if (target_) StartThreads();
}

void MergeJoin::RunnerMain() {
  platform::ThreadSignalStack signalStack;
  auto fail = [this](const std::string& why) {
    SetText(&reason_, why);
    verdict_ = JobVerdict::Failed;
  };
  // The transcoder would join the parts before a missing one and call that a success.
  const std::string partProblem = CheckJoinParts(request_.parts);
  if (!partProblem.empty()) {
    fail(partProblem);
    signals_.MarkRunnerEnded();
    return;
  }
  const long long now = platform::MicrosecondsSinceEpoch();
  const std::string listPath = dirs_.scratch + platform::Format("%lld.txt", now);
  const std::string metadataPath = dirs_.scratch + platform::Format("%lld.meta", now);
  const std::string stderrPath = progressPath_ + ".log";
  // Whatever is there already is not this join's to remove afterwards.
  const bool listOurs = !platform::FileExists(listPath);
  const bool metadataOurs = !platform::FileExists(metadataPath);
  const bool progressOurs = !platform::FileExists(progressPath_);
  const bool stderrOurs = !platform::FileExists(stderrPath);
  std::vector<PartFormat> formats;
  std::vector<double> pictureSeconds;
  // What the joined file must hold: the parts' own lengths, the picture's
  // where known as the list cuts each part there. A part that tells no length
  // leaves the request's total as the measure.
  double partsSeconds = 0;
  std::vector<double> partLengths;
  bool everyLengthKnown = true;
  for (const std::string& part : request_.parts) {
    formats.push_back(ProbePartFormat(part));
    const PartFormat& f = formats.back();
    pictureSeconds.push_back(f.videoSeconds);
    const double seconds = f.videoSeconds > 0 ? f.videoSeconds : f.seconds;
    if (seconds <= 0) everyLengthKnown = false;
    partsSeconds += seconds;
    partLengths.push_back(seconds);
  }
  if (!everyLengthKnown)
    partsSeconds = std::max(partsSeconds, static_cast<double>(request_.totalSeconds));
  const bool listWritten =
      listOurs &&
      platform::WriteFileAtomic(listPath, ConcatListText(request_.parts, pictureSeconds), 0600);
  const Tags firstTags = formats.empty() ? Tags() : formats.front().tags;
  const bool metadataWritten =
      metadataOurs &&
      platform::WriteFileAtomic(
          metadataPath, JoinMetadataText(firstTags, request_.titles, partLengths), 0600);
  if (!listWritten) {
    fail("the list of parts could not be written: " + listPath);
  } else if (!metadataWritten) {
    fail("the chapters of the parts could not be written: " + metadataPath);
  } else if (!StopRequested()) {
    const std::string folder = platform::WithTrailingSlash(request_.outputFolder);
    const std::vector<std::string> names =
        JoinedFileNames(request_.mergeName, now, request_.outputExtension);
    SetText(&outputPath_, folder + names.front());
    std::string error;
    if (!temp_.Create(folder, request_.outputExtension, dirs_.running, &error)) {
      fail(error);
    } else {
      const std::string writePath = temp_.WritePath();
      JoinPlan plan = PlanJoin(formats, request_.outputExtension, request_.outputFormat);
      plan.pictureAndOneSound = request_.sourcesAsTheyAre;
      plan.soundTrack = request_.soundTrack;
      Command cmd = BuildJoinCommand(progressPath_, listPath, metadataPath, writePath, plan);
      SetText(&commandLine_, temp_.ShownIn(cmd.Display()));
      TranscoderRun run{&cmd, dirs_.work, stderrPath, progressPath_, writePath,
                        folder + names.front()};
      RunResult result = RunAndJudge(run, process_, signals_.StopFlag(), outputBegun_);
      if (result.outcome == RunOutcome::Succeeded) {
        // A clean exit says nothing about the parts after one it could not read.
        std::string why = PartReadFailure(stderrPath, request_.parts, listPath);
        if (why.empty())
          why = ShortJoinReason(MediaSeconds(writePath), partsSeconds, request_.parts.size());
        int used = -1;
        if (why.empty()) used = temp_.MoveInto(names, &why);
        if (used >= 0) {
          SetText(&outputPath_, folder + names[static_cast<size_t>(used)]);
          verdict_ = JobVerdict::Succeeded;
        } else {
          fail(why);
        }
      } else if (result.outcome != RunOutcome::Stopped) {
        fail(result.reason);
      }
      temp_.Discard();
    }
  }
  // The join's own helper files go whatever the outcome; the reason of a
  // failure was read from them already.
  if (listWritten) platform::DeleteFile(listPath);
  if (metadataWritten) platform::DeleteFile(metadataPath);
  if (progressOurs) platform::DeleteFile(progressPath_);
  if (stderrOurs) platform::DeleteFile(stderrPath);
  signals_.MarkRunnerEnded();
}

void MergeJoin::MonitorMain() {
  platform::ThreadSignalStack signalStack;
  while (signals_.Poll(Timing().progressPoll)) {
    if (signals_.RunnerEnded().isSet()) {
      const JobVerdict verdict = Verdict();
      if (verdict == JobVerdict::Succeeded) {
        if (!StopRequested()) target_->post(WM_MERGE_DONE, nullptr, 0);
      } else if (verdict == JobVerdict::Failed && !StopRequested()) {
        app::RunLog("merge failed: %s", FailureReason().c_str());
        target_->post(WM_MERGE_FAILED, nullptr, 0);
      }
      break;
    }
    int percent = ProgressPercent(ReadProgressFile(progressPath_), request_.totalSeconds);
    if (percent > 0 && percent < 100 && !StopRequested())
      target_->post(WM_MERGE_PROGRESS, reinterpret_cast<void*>(static_cast<intptr_t>(percent)), 0);
  }
  reportsEnded_.set();
}

}  // namespace engine
