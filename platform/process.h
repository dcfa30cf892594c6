// Child processes: started from an argument vector, never through a shell.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct ProcessOptions {
  std::string workDir;      // empty: the caller's working folder
  std::string stderrFile;   // empty: standard error is discarded
  bool killWithParent = true;  // PR_SET_PDEATHSIG(SIGKILL); off for launches meant to outlive us
  bool keepStdout = false;     // normally standard output goes to /dev/null
  std::string stdoutFile;      // standard output into this file instead
  // "NAME=value" entries put into the child's environment, replacing an
  // inherited entry of the same name.
  std::vector<std::string> environment;
};

// One child process at a time; after wait() the object may start another.
// Each child leads a process group of its own: a Ctrl-C typed in our
// terminal reaches us, not the child, and we stop it ourselves. kill() ends
// the whole group, so helpers a child started go with it.
// start() and wait() belong to one thread (the one the child's death signal
// follows); kill() may be called from any thread and never signals a reused
// process id.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // program: a path, or a bare name looked up with FindProgram().
  // On failure returns false and sets error: which step failed and why (the
  // program is missing or cannot be run, the working folder or the folder of
  // an output file cannot be used, ...).
  bool start(const std::vector<std::string>& argv, const ProcessOptions& options,
             std::string* error = nullptr);

  // Blocks until the child ends. Returns its exit code, 128 + signal number
  // when a signal ended it, or -1 when no child was started.
  int wait();
  // After wait(): the signal that ended the child, 0 when it exited by itself.
  int endSignal() const;

  // SIGKILL, like TerminateProcess. Also refuses every later start, so a
  // child that was about to be started never runs. Returns false when there
  // was no child to end.
  bool kill();

  // Lets the child go: it is no longer killed when this object is destroyed
  // (for launches meant to outlive us).
  void Detach();

  bool started() const;
  int pid() const;

 private:
  mutable std::mutex mutex_;
  int pid_ = -1;
  int pidfd_ = -1;
  bool reaped_ = false;
  bool killed_ = false;
  int exitCode_ = -1;
  int endSignal_ = 0;
};

// Why a file could not be made at `path`, from the errno of the failed open:
// names the folder that is missing, read-only or full.
std::string DescribeUnwritable(const std::string& path, int err);

// Runs argv to its end and returns its exit code (or -1 when it could not start).
int RunAndWait(const std::vector<std::string>& argv, const ProcessOptions& options = {},
               std::string* error = nullptr);

// The folder of the running program file, without a trailing '/'.
std::string ProgramDir();

// A program by name: the program's own folder first, then extraDirs, then PATH.
// Returns an empty text when it is nowhere. A name holding '/' is returned as
// it is when it can be run.
std::string FindProgram(const std::string& name, const std::vector<std::string>& extraDirs = {});

}  // namespace platform
