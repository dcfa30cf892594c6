// pelmar-convert stopped by signals, and failures that say why, with the
// real programs: a terminal's Ctrl-C, a kill, a closed terminal, a
// transcoder killed from outside, a full disk, a read-only data folder.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/other_user.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;

namespace {

struct ProcInfo {
  int pid;
  int ppid;
  std::string comm;
  char state;
};

std::vector<ProcInfo> AllProcesses() {
  std::vector<ProcInfo> all;
  DIR* proc = opendir("/proc");
  if (!proc) return all;
  while (dirent* e = readdir(proc)) {
    const std::string pid = e->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = ReadText("/proc/" + pid + "/stat");
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size())
      continue;
    ProcInfo p{std::stoi(pid), atoi(stat.c_str() + close + 4),
               stat.substr(open + 1, close - open - 1), stat[close + 2]};
    all.push_back(p);
  }
  closedir(proc);
  return all;
}

// The live children of parent named comm (a zombie no longer runs).
std::vector<int> Children(int parent, const std::string& comm) {
  std::vector<int> pids;
  for (const ProcInfo& p : AllProcesses())
    if (p.ppid == parent && p.comm == comm && p.state != 'Z') pids.push_back(p.pid);
  return pids;
}

bool Running(int pid) {
  const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// Polls until the condition holds or a generous limit passes.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

class FrontEndSignalTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    out_ = path("out");
    platform::CreateFolders(out_);
  }

  // A source whose conversion to GIF takes a while.
  std::string SlowSource() {
    const std::string file = path("long.mp4");
    EXPECT_EQ(testsupport::MakeMedia(file, testsupport::Clip(40.0, 640, 480)), "");
    return file;
  }

  // Starts the front end as a terminal would run it: leading a process group
  // (and session) of its own. `wrapper` runs before it (unshare, ...).
  void Start(const std::vector<std::string>& args,
             const std::vector<std::string>& wrapper = {}) {
    std::vector<std::string> argv = {"setsid", "-w"};
    argv.insert(argv.end(), wrapper.begin(), wrapper.end());
    argv.push_back(PELMAR_CONVERT_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    platform::ProcessOptions options;
    options.stdoutFile = path("stdout.txt");
    options.stderrFile = path("stderr.txt");
    std::string error;
    ASSERT_TRUE(setsid_.start(argv, options, &error)) << error;
  }

  // The front end: setsid's child when setsid had to fork, else setsid itself
  // once it has become the front end (the wrappers exec, keeping the process).
  int FrontEnd() {
    int pid = 0;
    WaitUntil([&] {
      for (const ProcInfo& p : AllProcesses()) {
        if (p.comm == "pelmar-convert" && p.state != 'Z' &&
            (p.ppid == setsid_.pid() || p.pid == setsid_.pid()))
          pid = p.pid;
      }
      return pid != 0 || !Running(setsid_.pid());
    });
    return pid;
  }

  int Transcoder(int frontEnd) {
    int pid = 0;
    WaitUntil([&] {
      std::vector<int> found = Children(frontEnd, "ffmpeg");
      if (!found.empty()) pid = found[0];
      return pid != 0 || !Running(frontEnd);
    });
    return pid;
  }

  int Finish() { return setsid_.wait(); }
  std::string Err() { return ReadText(path("stderr.txt")); }

  std::string out_;
  platform::Process setsid_;
};

// A Ctrl-C once reached the transcoder too, which then failed ("exit code
// 255") before the front end could stop it. However the run is stopped, the
// front end says so, no transcoder is left and no half-written file stays.
TEST_F(FrontEndSignalTest, AStopSignalEndsTheRunCleanly) {
  const std::string source = SlowSource();
  struct Case {
    const char* name;
    int signal;
    bool group;  // to the whole process group, as a terminal sends Ctrl-C
  };
  const std::vector<Case> cases = {
      {"Ctrl-C in the terminal", SIGINT, true},
      {"kill", SIGTERM, false},
      {"terminal closed", SIGHUP, false},
  };
  for (const Case& c : cases) {
    Start({"--list", "gif", "--out", out_, source});
    const int frontEnd = FrontEnd();
    ASSERT_GT(frontEnd, 0) << c.name << ": " << Err();
    const int transcoder = Transcoder(frontEnd);
    ASSERT_GT(transcoder, 0) << c.name << ": no transcoder started: " << Err();
    ASSERT_EQ(kill(c.group ? -frontEnd : frontEnd, c.signal), 0) << c.name;
    EXPECT_EQ(Finish(), 1) << c.name;
    const std::string err = Err();
    EXPECT_NE(err.find("stopped"), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(err.find("failed"), std::string::npos) << c.name << ": " << err;
    EXPECT_TRUE(WaitUntil([&] { return !Running(transcoder); }))
        << c.name << ": the transcoder outlived the front end";
    EXPECT_EQ(testsupport::FolderEntries(out_), std::vector<std::string>{})
        << c.name << ": something was left in " << out_;
  }
}

TEST_F(FrontEndSignalTest, ATranscoderKilledFromOutsideIsReportedAsKilled) {
  const std::string source = SlowSource();
  Start({"--list", "gif", "--out", out_, source});
  const int frontEnd = FrontEnd();
  ASSERT_GT(frontEnd, 0) << Err();
  const int transcoder = Transcoder(frontEnd);
  ASSERT_GT(transcoder, 0) << Err();
  ASSERT_EQ(kill(transcoder, SIGKILL), 0);
  EXPECT_EQ(Finish(), 1);
  const std::string err = Err();
  EXPECT_NE(err.find("failed: " + source + ": the transcoder was killed (signal 9"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("exit code 137"), std::string::npos) << err;
}

// A front end (or window) killed outright cannot stop anything itself: its
// transcoder must not run on by itself.
TEST_F(FrontEndSignalTest, NoTranscoderOutlivesAKilledFrontEnd) {
  const std::string source = SlowSource();
  Start({"--list", "gif", "--out", out_, source});
  const int frontEnd = FrontEnd();
  ASSERT_GT(frontEnd, 0) << Err();
  const int transcoder = Transcoder(frontEnd);
  ASSERT_GT(transcoder, 0) << Err();
  ASSERT_EQ(kill(frontEnd, SIGKILL), 0);
  Finish();
  EXPECT_TRUE(WaitUntil([&] { return !Running(transcoder); }))
      << "the transcoder outlived the killed front end";
}

// The reason names what a person can mend: the full disk, the folder that
// cannot be written. Both need a file system of their own, which root makes
// in a private mount namespace.
class FailureReasonTest : public FrontEndSignalTest {
 protected:
  bool CanMount() {
    if (geteuid() != 0) return false;
    return platform::RunAndWait({"unshare", "-m", "sh", "-c",
                                 "mount -t tmpfs -o size=64k tmpfs \"$0\"", out_}) == 0;
  }
};

TEST_F(FailureReasonTest, AFullDiskIsNamedNotTheLastStatusLines) {
  if (!CanMount()) GTEST_SKIP() << "needs root and mount namespaces to make a small disk";
  const std::string source = path("clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(source, testsupport::Clip(6.0, 640, 480)), "");
  const std::string script = "mount -t tmpfs -o size=48k tmpfs \"$0\" && exec \"$@\"";
  Start({"--format", "avi", "--out", out_, source}, {"unshare", "-m", "sh", "-c", script, out_});
  EXPECT_EQ(Finish(), 1);
  const std::string err = Err();
  const size_t at = err.find("failed: " + source + ": ");
  ASSERT_NE(at, std::string::npos) << err;
  const std::string line = err.substr(at, err.find('\n', at) - at);
  EXPECT_NE(line.find("No space left on device"), std::string::npos) << line;
  EXPECT_NE(line.find("the disk of the output folder " + out_), std::string::npos) << line;
  EXPECT_EQ(line.find("Conversion failed!"), std::string::npos) << line;
  EXPECT_EQ(line.find("frame="), std::string::npos) << line;
}

// A data folder that cannot be written is named, not taken for a transcoder
// that cannot run.
class ReadOnlyDataTest : public FailureReasonTest {
 protected:
  void SetUp() override {
    FailureReasonTest::SetUp();
    data_ = sandbox().dataHome() + "/PelmarVideoConverter";
    platform::CreateFolders(data_);
    source_ = path("clip.mp4");
    ASSERT_EQ(testsupport::MakeMedia(source_, testsupport::Clip(1.0, 160, 120)), "");
  }
  void ExpectTheFolderNamed(const std::vector<std::string>& wrapper) {
    Start({"--out", out_, source_}, wrapper);
    EXPECT_EQ(Finish(), 1);
    const std::string err = Err();
    const size_t at = err.find("failed: " + source_ + ": ");
    ASSERT_NE(at, std::string::npos) << err;
    const std::string line = err.substr(at, err.find('\n', at) - at);
    EXPECT_NE(line.find("cannot be made in " + data_), std::string::npos) << line;
    EXPECT_EQ(line.find("cannot run"), std::string::npos) << line;
  }
  std::string data_, source_;
};

TEST_F(ReadOnlyDataTest, AFolderWithoutWritePermissionIsNamed) {
  std::vector<std::string> wrapper;
  if (geteuid() == 0) {
    // Root passes every permission check: the sandbox goes to a user
    // without privileges, who runs the front end.
    ASSERT_EQ(platform::RunAndWait({"chown", "-R", "65534:65534", sandbox().root()}), 0);
    ASSERT_EQ(testsupport::OpenPathToOthers(sandbox().root(), sandbox().root()), "");
    wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  ASSERT_EQ(chmod(data_.c_str(), 0555), 0);
  ExpectTheFolderNamed(wrapper);
  chmod(data_.c_str(), 0755);
}

TEST_F(ReadOnlyDataTest, AReadOnlyMountIsNamed) {
  if (!CanMount())
    GTEST_SKIP() << "needs root and mount namespaces for a read-only mount (the folder "
                    "without write permission is tried by another test)";
  ExpectTheFolderNamed({"unshare", "-m", "sh", "-c",
                        "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && "
                        "exec \"$@\"",
                        data_});
}

}  // namespace
