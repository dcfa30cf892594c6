// The reason a failed transcoder run keeps: the transcoder's own first error
// line and what the program knows, never the statistics and the closing
// "Conversion failed!" that used to stand in for it.
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/command.h"
#include "engine/transcoder_run.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using namespace engine;
using testsupport::WriteText;

namespace {

class ReasonTest : public testsupport::SandboxTest {
 protected:
  RunResult Run(const std::vector<std::string>& input, const std::string& output) {
    Command cmd;
    cmd.Add({"-hide_banner", "-progress"});
    cmd.AddPath(path("progress"));
    cmd.Add({"-y"});
    for (const std::string& a : input) cmd.Add({a});
    cmd.AddPath(output);
    platform::CreateFolders(path("log"));
    TranscoderRun run{&cmd, sandbox().root(), path("log/job.log"), path("progress"), output,
                      output};
    platform::Process process;
    std::atomic<bool> stop{false}, started{false};
    RunResult result = RunAndJudge(run, process, stop, started);
    // The error report is the run's own: it goes with it.
    EXPECT_FALSE(platform::FileExists(path("log/job.log.err")));
    return result;
  }
};

TEST_F(ReasonTest, TheTranscodersFirstErrorLineIsKept) {
  const std::string clip = path("clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(clip, testsupport::Clip(1.0, 160, 120)), "");
  WriteText(path("text.mp4"), std::string(4096, '\x17'));
  struct Case {
    const char* name;
    std::vector<std::string> input;
    std::string output;
    std::vector<std::string> expected;  // parts of the reason
  };
  const std::vector<Case> cases = {
      {"a source that is no video", {"-i", path("text.mp4")}, path("a.mp4"),
       {"the transcoder failed (exit code 1)", "Invalid data found when processing input"}},
      {"an output folder that is missing", {"-i", clip}, path("gone/a.mp4"),
       {"No such file or directory"}},
      {"an encoder the container cannot hold", {"-i", clip, "-c:v", "rawvideo"}, path("a.gif"),
       {"the transcoder failed"}},
  };
  for (const Case& c : cases) {
    RunResult r = Run(c.input, c.output);
    EXPECT_EQ(r.outcome, RunOutcome::Failed) << c.name;
    for (const std::string& part : c.expected)
      EXPECT_NE(r.reason.find(part), std::string::npos) << c.name << ": " << r.reason;
    for (const char* noise : {"Conversion failed!", "frame=", "size=", "Press [q]", "Stream #"})
      EXPECT_EQ(r.reason.find(noise), std::string::npos) << c.name << ": " << r.reason;
    EXPECT_EQ(r.reason.find('\n'), std::string::npos) << c.name << ": " << r.reason;
  }
}

// Without a report of its own (a transcoder that writes none), the end of
// the error output is searched for its error lines.
TEST_F(ReasonTest, WithoutAReportTheErrorLinesAtTheEndOfTheOutputAreUsed) {
  const std::string log = path("job.log");
  WriteText(log,
            "Input #0, lavfi\n  Stream #0:0: Video: rawvideo\nPress [q] to stop\n"
            "frame=  12 fps=0.0 size= 0kB time=00:00:00.48\r"
            "[mp4 @ 0x5581] Error writing trailer of /x/a.mp4: No space left on device\n"
            "frame=  25 fps=0.0 Lsize= 0kB time=00:00:01.00\nConversion failed!\n");
  EXPECT_EQ(TranscoderErrorLine(path("none.err"), log),
            "Error writing trailer of /x/a.mp4: No space left on device");
  // A report holds the error-level lines only, after the command line.
  WriteText(path("job.err"),
            "Command line:\nffmpeg -i \"Error in a name.mp4\" out.mp4\n"
            "[h264 @ 0x55d] error while decoding MB 3 4\n"
            "Could not write header for output file #0: No space left on device\n"
            "Error initializing output stream 0:0 -- \nConversion failed!\n");
  EXPECT_EQ(TranscoderErrorLine(path("job.err"), log),
            "Could not write header for output file #0: No space left on device");
  WriteText(path("job.err"), "Command line:\nffmpeg -i in.mp4 out.mp4\n");
  EXPECT_EQ(TranscoderErrorLine(path("job.err"), log), "");
}

}  // namespace
