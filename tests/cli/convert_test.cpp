// The pelmar-convert program run as a user runs it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;

namespace {

struct Result {
  int code;
  std::string out, err;
};

class ConvertProgramTest : public testsupport::SandboxTest {
 protected:
  // `withProgram`: the arguments are the front end's; else a whole command.
  Result Run(std::vector<std::string> args, bool withProgram = true) {
    if (withProgram) args.insert(args.begin(), PELMAR_CONVERT_PATH);
    platform::ProcessOptions options;
    options.stdoutFile = path("stdout.txt");
    options.stderrFile = path("stderr.txt");
    Result r;
    r.code = platform::RunAndWait(args, options);
    r.out = ReadText(path("stdout.txt"));
    r.err = ReadText(path("stderr.txt"));
    return r;
  }
  std::string Clip(const std::string& name, double seconds, int w, int h) {
    std::string file = path(name);
    EXPECT_EQ(testsupport::MakeMedia(file, testsupport::Clip(seconds, w, h)), "");
    return file;
  }
  // Files left in the folders the program shares with the window.
  std::string Leftovers() {
    std::string data = sandbox().dataHome() + "/PelmarVideoConverter";
    std::string left;
    for (const char* dir : {"/log", "/temp", "/video_cover"})
      if (platform::RemoveFolder(data + dir) == false && platform::IsDirectory(data + dir))
        left += std::string(dir) + " ";
    std::string tmp = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
    if (!platform::RemoveFolder(tmp) && platform::IsDirectory(tmp)) left += "tmp";
    return left;
  }
};

TEST_F(ConvertProgramTest, ConvertsPrintsTheResultAndLeavesNothingBehind) {
  std::string source = Clip("holiday clip.mov", 2.0, 320, 240);
  Result r = Run({"--out", path("out"), "--crop", "0,0,161,120", source});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string expected = path("out") + "/holiday clip.mp4";
  EXPECT_EQ(r.out.substr(r.out.size() - expected.size() - 1), expected + "\n") << r.out;
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(expected, info).usable);
  EXPECT_EQ(info.width, 162);
  EXPECT_EQ(info.height, 120);
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, ProbePrintsEveryField) {
  std::string source = Clip("p.mp4", 4.0, 320, 240);
  Result r = Run({"--probe", source});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* line :
       {"path=" , "title=p\n", "extension=mp4\n", "durationText=00:00:04\n",
        "resolutionText=320x240\n", "cacheKind=0\n", "durationSeconds=4\n", "height=240\n",
        "width=320\n", "audioChannels=2\n", "coverSeekSeconds=0\n", "hasDataStream=0\n",
        "rotation=0\n", "frameRate=25\n", "fileSizeText=", "coverPath=", "audioBitRateText=",
        "bitRate=", "fileSize="})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;

  testsupport::WriteText(path("junk.mp4"), "not a video");
  r = Run({"--probe", path("junk.mp4")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("junk.mp4"), std::string::npos);
}

TEST_F(ConvertProgramTest, PrintCommandShowsTheExactCommand) {
  std::string source = Clip("clip.mp4", 1.0, 1280, 720);
  Result r = Run({"--print-command", "--format", "mkv", "--out", path("out"), source});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string head = "ffmpeg -hide_banner -progress \"";
  const std::string tail = "\" -y -i \"" + source +
                           "\" -filter_complex [0:v]crop=1280:720:0:0 -ac 2 -c:a aac"
                           " -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500"
                           " -r 25.000000 -map 0:v? -map 0:a? \"" +
                           path("out") + "/clip.mkv\"\n";
  EXPECT_EQ(r.out.compare(0, head.size(), head), 0) << r.out;
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
  EXPECT_FALSE(platform::FileExists(path("out/clip.mkv")));
}

TEST_F(ConvertProgramTest, FailuresAreExplainedInOneLine) {
  std::string source = Clip("c.mp4", 2.0, 160, 120);
  std::string big = Clip("big.mp4", 4.0, 320, 240);
  // A real transcoder failure: the output may not grow past 32 KiB, as on a
  // disk that fills up (writes fail instead of ending the process).
  const std::string limited = "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"";
  struct Case {
    std::vector<std::string> args;
    bool limitOutput;
    int code;
    const char* says;
  } cases[] = {
      {{"--list", "nonsense", source}, false, 2, "--list"},
      {{"--trim", "1-9", "--out", path("out"), source}, false, 2, "past the end"},
      {{"--crop", "100,100,100,100", "--out", path("out"), source}, false, 2, "outside"},
      {{"--out", path("out"), path("missing.mp4"), source}, false, 1, "missing.mp4"},
      {{"--out", path("full"), big}, true, 1, "failed: "},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (c.limitOutput) {
      args.insert(args.begin(), {"sh", "-c", limited, PELMAR_CONVERT_PATH});
    } else {
      args.insert(args.begin(), PELMAR_CONVERT_PATH);
    }
    Result r = Run(args, false);
    EXPECT_EQ(r.code, c.code) << c.says << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    // One line, whole, saying more than the words looked for; a mistake in
    // the command line may be followed by the usage text.
    const size_t eol = r.err.find('\n');
    ASSERT_NE(eol, std::string::npos) << c.says << ": " << r.err;
    const std::string rest = r.err.substr(eol + 1);
    EXPECT_TRUE(rest.empty() || (c.code == 2 && rest.rfind("usage: ", 0) == 0))
        << c.says << ": more than one line:\n" << r.err;
    EXPECT_GT(eol, std::string(c.says).size() + 10) << r.err;
  }
  // The missing file did not keep the other from converting.
  EXPECT_TRUE(platform::FileExists(path("out/c.mp4")));
  // The failed one left nothing under its name.
  EXPECT_FALSE(platform::FileExists(path("full/big.mp4")));
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, MergeJoinsThePartsIntoOneFile) {
  std::string a = Clip("a.mp4", 2.0, 320, 240);
  std::string b = Clip("b.mkv", 3.0, 640, 360);
  Result r = Run({"--list", "merge", "--format", "mkv", "--preset", "origin", "--out",
                  path("out"), a, b});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string last = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  last.pop_back();
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(last, info).usable) << r.out;
  EXPECT_EQ(platform::ParentDir(last), path("out"));
  EXPECT_NEAR(info.durationSeconds, 5, 1);
  EXPECT_EQ(info.resolutionText, "320x240");  // every part takes the first part's size
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, AMergeWithAPartThatFailsEndsWithoutAJoin) {
  std::string a = Clip("a.mp4", 1.0, 160, 120);
  std::string bad = path("bad.mp4");
  testsupport::WriteText(bad, std::string(2048, 'z'));
  std::string c = Clip("c.mp4", 1.0, 160, 120);
  Result r = Run({"--list", "merge", "--out", path("out"), a, bad, c});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("failed: " + bad + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the merge stopped because a part could not be converted"),
            std::string::npos) << r.err;
  EXPECT_TRUE(platform::RemoveFolder(path("out"))) << "something was joined: " << r.out;
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, InterruptStopsCleanly) {
  std::string source = Clip("long.mp4", 30.0, 640, 480);
  platform::ProcessOptions options;
  options.stdoutFile = path("stdout.txt");
  options.stderrFile = path("stderr.txt");
  platform::Process program;
  ASSERT_TRUE(program.start({PELMAR_CONVERT_PATH, "--format", "mkv", "--out", path("out"), source},
                            options));
  // Wait until the transcoder has written part of the output.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (platform::FileSize(path("out/long.mkv")) <= 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_GT(platform::FileSize(path("out/long.mkv")), 0);
  kill(program.pid(), SIGINT);
  EXPECT_EQ(program.wait(), 1);
  EXPECT_FALSE(platform::FileExists(path("out/long.mkv")));
  EXPECT_NE(ReadText(path("stderr.txt")).find("stopped"), std::string::npos);
  EXPECT_EQ(Leftovers(), "");
}

}  // namespace
