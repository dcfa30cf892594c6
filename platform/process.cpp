#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

extern char** environ;

namespace platform {
namespace {

int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

int PidfdSendSignal(int pidfd, int sig) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
}

bool CanRun(const std::string& path) {
  return !path.empty() && access(path.c_str(), X_OK) == 0 && !IsDirectory(path);
}

// The step of the child's set-up that failed, sent to the parent with errno.
enum ChildStep : int { kDeathSignal, kGroup, kWorkDir, kNullFiles, kStderr, kStdout, kDup, kExec };

struct ChildError {
  int step;
  int err;
};

// Everything below runs in the child between fork and exec: only
// async-signal-safe calls.
[[noreturn]] void ChildFail(int pipeFd, ChildStep step, int err) {
  const ChildError e{step, err};
  ssize_t ignored = write(pipeFd, &e, sizeof e);
  (void)ignored;
  _exit(127);
}

void CloseFrom(int first) {
#ifdef SYS_close_range
  if (syscall(SYS_close_range, first, ~0U, 0) == 0) return;
#endif
  long max = sysconf(_SC_OPEN_MAX);
  if (max < 0 || max > 65536) max = 65536;
  for (int fd = first; fd < max; ++fd) close(fd);
}

// Why a folder could not be used, from the errno of what failed in it.
std::string DescribeFolder(std::string folder, int err) {
  folder = WithoutTrailingSlash(folder);
  if (err == ENOENT && !IsDirectory(folder)) {
    // Name the folder that is there and why the missing one could not be made.
    std::string existing = ParentDir(folder);
    while (!existing.empty() && existing != "/" && !IsDirectory(existing))
      existing = ParentDir(existing);
    std::string why = "the folder " + folder + " does not exist";
    if (!existing.empty() && access(existing.c_str(), W_OK) != 0)
      why += " and cannot be made in " + existing + " (" + strerror(errno) + ")";
    return why;
  }
  if (err == ENOSPC || err == EDQUOT)
    return "the folder " + folder + " is full (" + strerror(err) + ")";
  if (err == EACCES || err == EPERM || err == EROFS)
    return "the folder " + folder + " cannot be written (" + strerror(err) + ")";
  return "the folder " + folder + ": " + strerror(err);
}

}  // namespace

Process::~Process() {
  if (started()) {
    kill();
    wait();
  }
  if (pidfd_ >= 0) close(pidfd_);
}

bool Process::start(const std::vector<std::string>& argv, const ProcessOptions& options,
                    std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  {
    // A process object may run one child after another, never two at once.
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ >= 0 && !reaped_) return fail("a process is still running");
    if (killed_) return fail("the process was stopped before it started");
  }
  if (argv.empty() || argv[0].empty()) return fail("no program given");

  std::string program = FindProgram(argv[0]);
  if (program.empty()) return fail("program not found: " + argv[0]);

  // Prepare every buffer before fork: the child may not allocate.
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The environment, also made before fork.
  std::vector<std::string> envStore;
  std::vector<char*> envList;
  char** envp = environ;
  if (!options.environment.empty()) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; e && *e; ++e) {
      const std::string entry = *e;
      bool replaced = false;
      for (const std::string& mine : options.environment)
        if (nameOf(mine) == nameOf(entry)) replaced = true;
      if (!replaced) envStore.push_back(entry);
    }
    envStore.insert(envStore.end(), options.environment.begin(), options.environment.end());
    for (std::string& entry : envStore) envList.push_back(entry.data());
    envList.push_back(nullptr);
    envp = envList.data();
  }

  int errPipe[2];
  if (pipe2(errPipe, O_CLOEXEC) != 0) return fail(std::string("pipe: ") + strerror(errno));

  const pid_t parent = getpid();
  const char* workDir = options.workDir.empty() ? nullptr : options.workDir.c_str();
  const char* stderrPath = options.stderrFile.empty() ? nullptr : options.stderrFile.c_str();
  const char* stdoutPath = options.stdoutFile.empty() ? nullptr : options.stdoutFile.c_str();

  pid_t pid = fork();
  if (pid < 0) {
    int e = errno;
    close(errPipe[0]);
    close(errPipe[1]);
    return fail(std::string("fork: ") + strerror(e));
  }
  if (pid == 0) {
    int failPipe = errPipe[1];
    if (options.killWithParent) {
      if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) ChildFail(failPipe, kDeathSignal, errno);
      if (getppid() != parent) _exit(127);  // the parent died before prctl took effect
    }
    if (setpgid(0, 0) != 0) ChildFail(failPipe, kGroup, errno);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (workDir && chdir(workDir) != 0) ChildFail(failPipe, kWorkDir, errno);
    int nullIn = open("/dev/null", O_RDONLY);
    int nullOut = open("/dev/null", O_WRONLY);
    if (nullIn < 0 || nullOut < 0) ChildFail(failPipe, kNullFiles, errno);
    int errFd = nullOut;
    if (stderrPath) {
      errFd = open(stderrPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (errFd < 0) ChildFail(failPipe, kStderr, errno);
    }
    int outFd = nullOut;
    if (stdoutPath) {
      outFd = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (outFd < 0) ChildFail(failPipe, kStdout, errno);
    }
    if (dup2(nullIn, 0) < 0) ChildFail(failPipe, kDup, errno);
    if ((stdoutPath || !options.keepStdout) && dup2(outFd, 1) < 0) ChildFail(failPipe, kDup, errno);
    if (dup2(errFd, 2) < 0) ChildFail(failPipe, kDup, errno);
    // Keep only the error pipe (close-on-exec) above the standard three.
    if (failPipe != 3) {
      if (dup3(failPipe, 3, O_CLOEXEC) < 0) ChildFail(failPipe, kDup, errno);
      failPipe = 3;
    }
    CloseFrom(4);
    execve(program.c_str(), args.data(), envp);
    ChildFail(failPipe, kExec, errno);
  }
  // Set here too, so that a kill of the group right after start finds it.
  setpgid(pid, pid);

  close(errPipe[1]);
  ChildError childErr{};
  ssize_t n;
  do {
    n = read(errPipe[0], &childErr, sizeof childErr);
  } while (n < 0 && errno == EINTR);
  close(errPipe[0]);

  if (n > 0) {
    // The child never ran the program: reap it now and say which step failed.
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string why = strerror(childErr.err);
    switch (childErr.step) {
      case kWorkDir:
        return fail("cannot enter the working folder: " +
                    DescribeFolder(options.workDir, childErr.err));
      case kStderr:
        return fail("cannot write the error output of " + program + ": " +
                    DescribeUnwritable(options.stderrFile, childErr.err));
      case kStdout:
        return fail("cannot write the output of " + program + ": " +
                    DescribeUnwritable(options.stdoutFile, childErr.err));
      case kExec:
        return fail("cannot run " + program + ": " + why);
      default:
        return fail("cannot prepare the start of " + program + ": " + why);
    }
  }

  std::lock_guard<std::mutex> lock(mutex_);
  if (pidfd_ >= 0) close(pidfd_);
  pid_ = pid;
  pidfd_ = PidfdOpen(pid);  // the child is not reaped yet, so the id is still ours
  reaped_ = false;
  exitCode_ = -1;
  // A kill that came while the child was being made.
  endSignal_ = 0;
  if (killed_) {
    ::kill(pid, SIGKILL);
    ::kill(-pid, SIGKILL);
  }
  return true;
}

int Process::wait() {
  int pid;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ < 0) return -1;
    if (reaped_) return exitCode_;
    pid = pid_;
  }
  // Wait without reaping, so kill() can still use the plain id safely when
  // no pidfd could be opened; then reap under the lock.
  siginfo_t info{};
  while (waitid(P_PID, pid, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!reaped_) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    endSignal_ = 0;
    if (WIFEXITED(status)) {
      exitCode_ = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      endSignal_ = WTERMSIG(status);
      exitCode_ = 128 + endSignal_;
    } else {
      exitCode_ = -1;
    }
    reaped_ = true;
  }
  return exitCode_;
}

bool Process::kill() {
  std::lock_guard<std::mutex> lock(mutex_);
  killed_ = true;
  if (pid_ < 0 || reaped_) return false;
  // Not reaped (checked under the lock reaping takes), so the id is still the
  // child's, and so is the group it leads.
  const bool ended = pidfd_ >= 0 ? PidfdSendSignal(pidfd_, SIGKILL) == 0
                                 : ::kill(pid_, SIGKILL) == 0;
  ::kill(-pid_, SIGKILL);
  return ended;
}

int Process::endSignal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reaped_ ? endSignal_ : 0;
}

void Process::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pidfd_ >= 0) close(pidfd_);
  pidfd_ = -1;
  pid_ = -1;
  reaped_ = false;
}

bool Process::started() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pid_ >= 0;
}

int Process::pid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pid_;
}

int RunAndWait(const std::vector<std::string>& argv, const ProcessOptions& options,
               std::string* error) {
  Process p;
  if (!p.start(argv, options, error)) return -1;
  return p.wait();
}

std::string DescribeUnwritable(const std::string& path, int err) {
  const std::string folder = ParentDir(path);
  return DescribeFolder(folder.empty() ? "." : folder, err);
}

std::string ProgramDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return ParentDir(buf);
}

std::string FindProgram(const std::string& name, const std::vector<std::string>& extraDirs) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return CanRun(name) ? name : std::string();
  std::vector<std::string> dirs;
  dirs.push_back(ProgramDir());
  dirs.insert(dirs.end(), extraDirs.begin(), extraDirs.end());
  if (const char* path = getenv("PATH")) {
    std::string p = path;
    size_t start = 0;
    while (start <= p.size()) {
      size_t end = p.find(':', start);
      if (end == std::string::npos) end = p.size();
      std::string dir = p.substr(start, end - start);
      dirs.push_back(dir.empty() ? "." : dir);
      start = end + 1;
    }
  }
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    std::string candidate = JoinPath(dir, name);
    if (CanRun(candidate)) return candidate;
  }
  return {};
}

}  // namespace platform
