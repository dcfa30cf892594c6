#include "engine/transcoder_run.h"

#include "engine/output_check.h"
#include "engine/progress_file.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {

RunResult RunAndJudge(const TranscoderRun& run, platform::Process& process,
                      const std::atomic<bool>& stop, std::atomic<bool>& started) {
  RunResult result;
  platform::ProcessOptions options;
  options.workDir = run.workDir;
  options.stderrFile = run.stderrPath;
  std::string error;
  if (!process.start(run.command->args(), options, &error)) {
    if (stop) result.outcome = RunOutcome::Stopped;  // refused because the stop came first
    else result.reason = "the transcoder could not be started: " + error;
    return result;
  }
  started = true;
  if (stop) process.kill();  // a stop that came while the child was starting
  int exitCode = process.wait();
  if (stop) {
    result.outcome = RunOutcome::Stopped;
    return result;
  }
  ProgressReading reading = ReadProgressFile(run.progressPath);
  std::string why;
  if (exitCode != 0) why = platform::Format("the transcoder failed (exit code %d)", exitCode);
  else if (!reading.ended) why = "the transcoder ended without finishing";
  else why = OutputFault(run.outputPath, run.command->NeedsPicture());
  if (why.empty()) {
    result.outcome = RunOutcome::Succeeded;
    return result;
  }
  result.outcome = RunOutcome::Failed;
  std::string detail = platform::LastLines(run.stderrPath, 3);
  result.reason = detail.empty() ? why : why + ": " + detail;
  return result;
}

}  // namespace engine
