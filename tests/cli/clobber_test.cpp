// Hostile cases against the real pelmar-convert and the real transcoder: two
// runs racing for one name, a link planted by another user, runs killed in
// the middle of their work.
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;
using testsupport::WriteText;

namespace {

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Polls until the condition holds; false when it did not within the limit.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A file with data in the folder or one level below, not among `before`: the
// transcoder is writing.
bool SomethingWritten(const std::string& dir, const std::vector<std::string>& before = {}) {
  for (const std::string& name : platform::ListFolder(dir)) {
    if (std::find(before.begin(), before.end(), name) != before.end()) continue;
    const std::string entry = dir + "/" + name;
    if (platform::FileSize(entry) > 0 && platform::IsRegularFile(entry)) return true;
    if (platform::IsDirectory(entry))
      for (const std::string& inner : platform::ListFolder(entry))
        if (platform::FileSize(entry + "/" + inner) > 0) return true;
  }
  return false;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class ClobberTest : public testsupport::SandboxTest {
 protected:
  // Starts the front end with its output going to files named by `tag`.
  void Start(platform::Process& program, const std::string& tag, std::vector<std::string> args) {
    args.insert(args.begin(), PELMAR_CONVERT_PATH);
    platform::ProcessOptions options;
    options.stdoutFile = path(tag + ".out");
    options.stderrFile = path(tag + ".err");
    ASSERT_TRUE(program.start(args, options));
  }
  // The path the front end reported last.
  std::string Reported(const std::string& tag) {
    std::string out = ReadText(path(tag + ".out"));
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
  }
  std::string Clip(const std::string& name, double seconds, int w, int h) {
    std::string file = path(name);
    EXPECT_EQ(testsupport::MakeMedia(file, testsupport::Clip(seconds, w, h)), "");
    return file;
  }
  static double Seconds(const std::string& file) {
    media::MediaInfo info;
    if (!media::ProbeMedia(file, info).usable) return -1;
    return info.durationSeconds;
  }
};

TEST_F(ClobberTest, TwoFrontEndsConvertingToOneNameKeepBothResults) {
  const std::string source = Clip("clip.mov", 6.0, 640, 480);
  platform::Process first, second;
  Start(first, "first", {"--out", path("out"), source});
  Start(second, "second", {"--out", path("out"), source});
  ASSERT_EQ(first.wait(), 0) << ReadText(path("first.err"));
  ASSERT_EQ(second.wait(), 0) << ReadText(path("second.err"));
  const std::string a = Reported("first"), b = Reported("second");
  EXPECT_NE(a, b) << "both reported one file";
  EXPECT_EQ(Sorted({a, b}).front(), path("out/clip.mp4"));
  for (const std::string& result : {a, b}) {
    EXPECT_EQ(platform::ParentDir(result), path("out"));
    EXPECT_NEAR(Seconds(result), 6, 1) << result;
  }
  EXPECT_EQ(Sorted(platform::ListFolder(path("out"))),
            Sorted({platform::FileNameOf(a), platform::FileNameOf(b)}));
}

TEST_F(ClobberTest, ALinkPlantedAtTheOutputNameIsNeverFollowed) {
  // The output folder is shared and writable by everybody, without the
  // sticky bit; the link comes from another user where the test may make one.
  ASSERT_EQ(chmod(sandbox().root().c_str(), 0711), 0);
  const std::string victim = path("victim.txt");
  WriteText(victim, "precious");
  const std::string source = Clip("clip.mov", 20.0, 640, 480);
  auto plant = [&](const std::string& link) {
    const std::string target = victim;
    pid_t child = fork();
    if (child == 0) {
      if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                            setresuid(65534, 65534, 65534) != 0))
        _exit(2);
      unlink(link.c_str());  // whatever is there, in a folder without the sticky bit
      _exit(symlink(target.c_str(), link.c_str()) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };

  for (const char* when : {"before", "during"}) {
    SCOPED_TRACE(when);
    const std::string out = path(std::string("out-") + when);
    ASSERT_TRUE(platform::CreateFolders(out));
    ASSERT_EQ(chmod(out.c_str(), 0777), 0);
    const std::string name = out + "/clip.mp4";
    platform::Process program;
    if (std::string(when) == "before") {
      ASSERT_TRUE(plant(name));
      Start(program, when, {"--out", out, source});
    } else {
      Start(program, when, {"--out", out, source});
      ASSERT_TRUE(WaitUntil([&] { return SomethingWritten(out); })) << "the transcoder never wrote";
      ASSERT_TRUE(plant(name));
    }
    ASSERT_EQ(program.wait(), 0) << ReadText(path(std::string(when) + ".err"));
    EXPECT_EQ(ReadText(victim), "precious");
    EXPECT_TRUE(IsLink(name));
    const std::string result = Reported(when);
    EXPECT_NE(result, name);
    EXPECT_EQ(platform::ParentDir(result), out);
    EXPECT_FALSE(IsLink(result));
    EXPECT_NEAR(Seconds(result), 20, 1) << result;
  }
}

TEST_F(ClobberTest, KilledRunsLeaveNoBrokenFileAndTheNextStartRemovesTheirLeftovers) {
  const std::string out = path("out");
  ASSERT_TRUE(platform::CreateFolders(out));
  // The join reads its list at the pace of playing, so that it is still
  // writing when it is killed; the real transcoder does all the work.
  const std::string bin = path("bin");
  platform::CreateFolders(bin);
  const std::string real = testsupport::FfmpegPath();
  WriteText(bin + "/ffmpeg", "#!/bin/sh\nfor a in \"$@\"; do\n  [ \"$a\" = concat ] && exec \"" +
                                 real + "\" -re \"$@\"\ndone\nexec \"" + real + "\" \"$@\"\n");
  ASSERT_EQ(chmod((bin + "/ffmpeg").c_str(), 0755), 0);
  const std::string oldPath = getenv("PATH");
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);

  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string unfinished;  // the name a finished run would have used
  } cases[] = {
      {"conversion", {"--format", "mkv", "--out", out, Clip("long.mp4", 30.0, 640, 480)},
       out + "/long.mkv"},
      {"join",
       {"--list", "merge", "--format", "mkv", "--preset", "origin", "--out", out,
        Clip("a.mp4", 8.0, 160, 120), Clip("b.mp4", 8.0, 160, 120)},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> before = platform::ListFolder(out);
    platform::Process program;
    Start(program, c.name, c.args);
    const bool writing = WaitUntil([&] { return SomethingWritten(out, before); });
    kill(program.pid(), SIGKILL);
    program.wait();
    ASSERT_TRUE(writing) << "the transcoder never wrote: " << ReadText(path(std::string(c.name) + ".err"));
    if (!c.unfinished.empty()) {
      EXPECT_FALSE(platform::FileExists(c.unfinished));
    }
    // No name of a finished file was taken: only the unfinished work is there.
    for (const std::string& name : platform::ListFolder(out))
      EXPECT_EQ(name.rfind(".pelmar-tmp-", 0), 0u) << name;
  }
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_FALSE(platform::ListFolder(out).empty()) << "nothing was left to clean up";

  // Beside the leftovers, files of the user that the clean-up must not touch,
  // one named like the program's own.
  WriteText(out + "/holiday.mkv", "mine");
  platform::CreateFolders(out + "/.pelmar-tmp-mine");
  WriteText(out + "/.pelmar-tmp-mine/notes", "mine");
  const std::string scratch = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
  WriteText(scratch + "/notes.txt", "mine");

  platform::Process next;
  Start(next, "next", {"--out", path("out2"), Clip("short.mp4", 1.0, 160, 120)});
  ASSERT_EQ(next.wait(), 0) << ReadText(path("next.err"));

  EXPECT_EQ(Sorted(platform::ListFolder(out)),
            (std::vector<std::string>{".pelmar-tmp-mine", "holiday.mkv"}));
  EXPECT_EQ(ReadText(out + "/holiday.mkv"), "mine");
  EXPECT_EQ(ReadText(out + "/.pelmar-tmp-mine/notes"), "mine");
  EXPECT_EQ(platform::ListFolder(scratch), std::vector<std::string>{"notes.txt"});
  const std::string data = sandbox().dataHome() + "/PelmarVideoConverter";
  for (const char* dir : {"/log", "/temp", "/video_cover"})
    EXPECT_EQ(platform::ListFolder(data + dir), std::vector<std::string>{}) << dir;
  EXPECT_EQ(platform::ListFolder(data + "/running"), std::vector<std::string>{"window.lock"});
}

}  // namespace

namespace {

TEST_F(ClobberTest, LongTitlesAreShortenedSoThatEveryNameFits) {
  // A title that fits only without the clash suffix, converted twice; and a
  // source name as long as a file name can be, without an extension.
  std::string accented;
  for (int i = 0; i < 115; ++i) accented += "\xc3\xa9";
  struct Case {
    std::string source;  // file name
    int runs;
  } cases[] = {
      {"a" + accented + ".mov", 2},  // a 231-byte title
      {std::string(254, 'l'), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source.size());
    const std::string out = path("out-" + std::to_string(c.source.size()));
    // Made under a short name: the maker's own helper files take the name further.
    const std::string source = path(c.source);
    ASSERT_EQ(rename(Clip("short.mov", 1.0, 160, 120).c_str(), source.c_str()), 0);
    std::vector<std::string> results;
    for (int run = 0; run < c.runs; ++run) {
      platform::Process program;
      Start(program, "long", {"--out", out, source});
      ASSERT_EQ(program.wait(), 0) << ReadText(path("long.err"));
      results.push_back(Reported("long"));
    }
    for (const std::string& result : results) {
      const std::string name = platform::FileNameOf(result);
      EXPECT_LE(name.size(), 255u) << name;
      EXPECT_EQ(name.compare(0, 10, c.source, 0, 10), 0) << name;
      EXPECT_NEAR(Seconds(result), 1, 1) << result;
    }
    EXPECT_EQ(platform::ListFolder(out).size(), results.size());
  }
}

}  // namespace
