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
