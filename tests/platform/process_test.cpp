#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/sandbox.h"

using namespace platform;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class ProcessTest : public testsupport::SandboxTest {};

// True once the process is gone or a zombie nobody reaped.
bool IsDead(int pid) {
  std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  if (stat.empty()) return true;
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool WaitDead(int pid, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (IsDead(pid)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return IsDead(pid);
}

TEST_F(ProcessTest, ArgumentsReachTheChildUnchangedAndErrorsGoToTheFile) {
  std::string err = path("err.txt");
  ProcessOptions opt;
  opt.stderrFile = err;
  // Quotes, blanks and a leading dash stay single arguments: nothing re-splits them.
  int code = RunAndWait({"/bin/sh", "-c", "printf '%s|' \"$@\" >&2; exit 7", "sh", "a b",
                         "\"q\"", "-y", "x;rm -rf /"},
                        opt);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(ReadText(err), "a b|\"q\"|-y|x;rm -rf /|");
}

TEST_F(ProcessTest, ChildGetsWorkingFolderNullInputAndNoInheritedDescriptors) {
  std::string dir = path("work dir");
  ASSERT_TRUE(CreateFolders(dir));
  int leaked = open("/dev/null", O_RDONLY);  // no close-on-exec on purpose
  ASSERT_GE(leaked, 3);
  ProcessOptions opt;
  opt.workDir = dir;
  opt.stderrFile = path("err.txt");
  int code = RunAndWait(
      {"/bin/sh", "-c", "pwd >&2; cat >&2; [ -e /proc/$$/fd/" + std::to_string(leaked) +
                            " ] && echo leaked >&2; exit 0"},
      opt);
  close(leaked);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadText(path("err.txt")), dir + "\n");
}

TEST_F(ProcessTest, StartFailuresSayWhy) {
  Process p;
  std::string error;
  EXPECT_FALSE(p.start({"no-such-program-pelmar"}, {}, &error));
  EXPECT_NE(error.find("not found"), std::string::npos) << error;
  EXPECT_FALSE(p.started());
  EXPECT_EQ(p.wait(), -1);

  std::string script = path("not-runnable");
  WriteText(script, "#!/bin/sh\nexit 0\n");  // no execute bit
  EXPECT_FALSE(p.start({script}, {}, &error));
  EXPECT_FALSE(error.empty());

  std::string badInterpreter = path("bad-interpreter");
  WriteText(badInterpreter, "#!/nonexistent/shell\n");
  chmod(badInterpreter.c_str(), 0755);
  EXPECT_FALSE(p.start({badInterpreter}, {}, &error));
  EXPECT_NE(error.find("cannot run"), std::string::npos) << error;
  EXPECT_FALSE(p.kill());  // nothing ran
}

TEST_F(ProcessTest, KillFromAnotherThreadEndsTheWaitAtOnce) {
  Process p;
  ASSERT_TRUE(p.start({"sleep", "30"}, {}));
  auto begin = std::chrono::steady_clock::now();
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(p.kill());
  });
  int code = p.wait();
  killer.join();
  EXPECT_EQ(code, 128 + SIGKILL);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  EXPECT_FALSE(p.kill());  // reaped: nothing left to signal, not even a reused id
  EXPECT_EQ(p.wait(), 128 + SIGKILL);
}

TEST_F(ProcessTest, ChildDiesWithTheThreadThatStartedItUnlessAskedToOutliveUs) {
  for (bool killWithParent : {true, false}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t helper = fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
      Process* p = new Process;  // never destroyed: the helper just vanishes
      ProcessOptions opt;
      opt.killWithParent = killWithParent;
      if (!p->start({"sleep", "30"}, opt)) _exit(1);
      int pid = p->pid();
      if (write(fds[1], &pid, sizeof pid) != sizeof pid) _exit(1);
      _exit(0);
    }
    close(fds[1]);
    int child = -1;
    ASSERT_EQ(read(fds[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    close(fds[0]);
    waitpid(helper, nullptr, 0);
    if (killWithParent) {
      EXPECT_TRUE(WaitDead(child, std::chrono::seconds(5)));
    } else {
      EXPECT_FALSE(WaitDead(child, std::chrono::milliseconds(300)));
      ::kill(child, SIGKILL);
    }
  }
}

TEST_F(ProcessTest, RunsOneChildAfterAnotherUntilKilled) {
  Process p;
  ASSERT_TRUE(p.start({"/bin/sh", "-c", "exit 3"}, {}));
  std::string error;
  EXPECT_FALSE(p.start({"/bin/sh", "-c", "exit 4"}, {}, &error)) << "two children at once";
  EXPECT_EQ(p.wait(), 3);
  ASSERT_TRUE(p.start({"/bin/sh", "-c", "exit 4"}, {}));
  EXPECT_EQ(p.wait(), 4);
  // A kill with no child running still stops the next one from ever starting.
  EXPECT_FALSE(p.kill());
  EXPECT_FALSE(p.start({"sleep", "30"}, {}, &error));
  EXPECT_NE(error.find("stopped"), std::string::npos) << error;
}

TEST_F(ProcessTest, ADetachedChildOutlivesItsProcessObject) {
  int pid;
  {
    Process p;
    ProcessOptions opt;
    opt.killWithParent = false;
    ASSERT_TRUE(p.start({"sleep", "30"}, opt));
    pid = p.pid();
    p.Detach();
  }
  EXPECT_FALSE(IsDead(pid));
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TEST_F(ProcessTest, DestroyingARunningProcessEndsIt) {
  int pid;
  {
    Process p;
    ASSERT_TRUE(p.start({"sleep", "30"}, {}));
    pid = p.pid();
  }
  EXPECT_TRUE(IsDead(pid));
}

TEST_F(ProcessTest, FindProgramLooksInExtraFoldersThenPath) {
  std::string dir = path("plugin");
  ASSERT_TRUE(CreateFolders(dir));
  std::string tool = dir + "/pelmar-fake-tool";
  WriteText(tool, "#!/bin/sh\n");
  chmod(tool.c_str(), 0755);
  EXPECT_EQ(FindProgram("pelmar-fake-tool"), "");
  EXPECT_EQ(FindProgram("pelmar-fake-tool", {dir}), tool);
  EXPECT_FALSE(FindProgram("sh").empty());
  EXPECT_EQ(FindProgram(tool), tool);
  EXPECT_EQ(FindProgram(dir), "");  // a folder is not a program
  EXPECT_FALSE(ProgramDir().empty());
}

}  // namespace

namespace {

// The process group a process belongs to, from /proc; -1 when it is gone.
int GroupOf(int pid) {
  std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  int ppid = 0, pgrp = -1;
  char state = 0;
  if (sscanf(stat.c_str() + close + 2, "%c %d %d", &state, &ppid, &pgrp) != 3) return -1;
  return pgrp;
}

// A Ctrl-C typed in our terminal goes to our process group: a child in its
// own group never gets it, and a kill ends what the child started too.
TEST_F(ProcessTest, ChildLeadsItsOwnGroupAndAKillEndsTheWholeGroup) {
  const std::string grandchild = path("grandchild.pid");
  Process p;
  ASSERT_TRUE(p.start({"/bin/sh", "-c", "sleep 300 & echo $! > \"$0\"; wait", grandchild}, {}));
  EXPECT_EQ(GroupOf(p.pid()), p.pid());
  EXPECT_NE(GroupOf(p.pid()), getpgrp());
  int helper = 0;
  for (int i = 0; i < 2000 && helper == 0; ++i) {
    helper = atoi(ReadText(grandchild).c_str());
    if (helper == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GT(helper, 0) << "the child never started its helper";
  EXPECT_EQ(GroupOf(helper), p.pid());
  EXPECT_TRUE(p.kill());
  EXPECT_EQ(p.wait(), 128 + SIGKILL);
  EXPECT_TRUE(WaitDead(helper, std::chrono::seconds(30))) << "the helper outlived the kill";
}

// A failed start says which step failed and names the folder it could not use.
TEST_F(ProcessTest, StartFailuresNameTheFolderThatCouldNotBeUsed) {
  const std::string missing = path("gone/deeper");
  struct Case {
    const char* name;
    ProcessOptions options;
    std::vector<std::string> expected;
  };
  ProcessOptions noWorkDir;
  noWorkDir.workDir = missing;
  ProcessOptions noErrFolder;
  noErrFolder.stderrFile = missing + "/err.log";
  ProcessOptions noOutFolder;
  noOutFolder.stdoutFile = missing + "/out.txt";
  const std::vector<Case> cases = {
      {"working folder", noWorkDir,
       {"working folder", "the folder " + missing + " does not exist"}},
      {"error output", noErrFolder, {"the folder " + missing + " does not exist"}},
      {"output", noOutFolder, {"the folder " + missing + " does not exist"}},
  };
  for (const Case& c : cases) {
    Process p;
    std::string error;
    EXPECT_FALSE(p.start({"/bin/true"}, c.options, &error)) << c.name;
    for (const std::string& part : c.expected)
      EXPECT_NE(error.find(part), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find("cannot run"), std::string::npos) << c.name << ": " << error;
  }
}

TEST_F(ProcessTest, TheEndingSignalIsToldApartFromAnExitCode) {
  struct Case {
    const char* script;
    int code;
    int signal;
  };
  const std::vector<Case> cases = {
      {"exit 137", 137, 0},          // looks like a kill, is not one
      {"kill -9 $$", 128 + SIGKILL, SIGKILL},
      {"kill -TERM $$", 128 + SIGTERM, SIGTERM},
      {"exit 0", 0, 0},
  };
  for (const Case& c : cases) {
    Process p;
    ASSERT_TRUE(p.start({"/bin/sh", "-c", c.script}, {})) << c.script;
    EXPECT_EQ(p.endSignal(), 0) << c.script << ": not ended yet";
    EXPECT_EQ(p.wait(), c.code) << c.script;
    EXPECT_EQ(p.endSignal(), c.signal) << c.script;
  }
}

TEST_F(ProcessTest, EnvironmentEntriesReplaceInheritedOnes) {
  setenv("PELMAR_TEST_KEPT", "kept", 1);
  setenv("PELMAR_TEST_REPLACED", "old", 1);
  ProcessOptions options;
  options.stdoutFile = path("env.txt");
  options.environment = {"PELMAR_TEST_REPLACED=new", "PELMAR_TEST_ADDED=a b=c"};
  EXPECT_EQ(RunAndWait({"/bin/sh", "-c",
                        "echo \"$PELMAR_TEST_KEPT|$PELMAR_TEST_REPLACED|$PELMAR_TEST_ADDED\";"
                        " env | grep -c '^PELMAR_TEST_REPLACED='"},
                       options),
            0);
  unsetenv("PELMAR_TEST_KEPT");
  unsetenv("PELMAR_TEST_REPLACED");
  EXPECT_EQ(ReadText(path("env.txt")), "kept|new|a b=c\n1\n");
}

}  // namespace
