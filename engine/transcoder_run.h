// One run of the transcoder with the verdict on what it did: shared by
// conversion jobs and the merge join.
#pragma once

#include <atomic>
#include <string>

#include "engine/command.h"
#include "platform/process.h"

namespace engine {

struct TranscoderRun {
  const Command* command = nullptr;
  std::string workDir;
  std::string stderrPath;    // the transcoder's error output, for the reason of a failure
  std::string progressPath;  // the -progress file
  std::string outputPath;
  // The output as the user knows it, named in reasons instead of the path the
  // transcoder writes through.
  std::string shownPath;
};

enum class RunOutcome { NotStarted, Stopped, Succeeded, Failed };

struct RunResult {
  RunOutcome outcome = RunOutcome::NotStarted;
  std::string reason;  // for NotStarted and Failed
};

// Runs the command in process until it ends. A failure's reason names what
// ended the transcoder (exit code or signal), its error line and a full
// output folder. `started` is set once the child
// exists (from then on the output is this run's). A stop kills the process.
// Success needs the final progress block, a clean exit and an output that
// holds at least one stream: the transcoder writes the final block also when
// it failed, and when a cut lies past the end of the file.
// The line of the transcoder's output that says why it failed: its first
// error message (one naming a system error such as a full disk preferred),
// never its statistics or its closing "Conversion failed!". reportPath is
// the error-level report the run asks for; without one, the end of stderrPath.
std::string TranscoderErrorLine(const std::string& reportPath, const std::string& stderrPath);

RunResult RunAndJudge(const TranscoderRun& run, platform::Process& process,
                      const std::atomic<bool>& stop, std::atomic<bool>& started);

}  // namespace engine
