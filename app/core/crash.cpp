#include "app/core/crash.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>

#include "app/core/app_paths.h"
#include "app/core/message_text.h"
#include "app/core/run_log.h"
#include "app/core/version_config.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/special_folders.h"

namespace app {

const char* const kCrashFileName = "Error.tmp";
const char* const kCrashBoxSwitch = "--crash-box";

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kMaxBoxArgs = 32;
constexpr int kBacktraceFrames = 64;

// What the handler reads. A published setup is never changed or freed, so a
// crash on one thread may read it while another thread publishes the next.
struct CrashSetup {
  std::string reportPath;
  std::string messageFormat;
  std::vector<std::string> boxArgs;
  bool showBox = false;
};

std::atomic<const CrashSetup*> g_setup{nullptr};
std::atomic<bool> g_installed{false};
// Set when this process is the crash box itself.
std::atomic<bool> g_isCrashBox{false};
// The thread that is reporting; 0 until a crash.
std::atomic<pid_t> g_crashingThread{0};

// Used by the reporting thread only, inside the handler.
char g_message[2048];
const char* g_boxArgv[kMaxBoxArgs + 2];

bool DisplayPresent() {
  const char* x = getenv("DISPLAY");
  const char* w = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

CrashSetup DefaultSetup() {
  CrashSetup s;
  s.reportPath = CrashFilePath(platform::ProgramDir(),
                               platform::JoinPath(platform::DataHome(), kProductFolder));
  // The running program file, even when it was replaced on disk since.
  s.boxArgs = {"/proc/self/exe", kCrashBoxSwitch};
  s.showBox = DisplayPresent() && !g_isCrashBox.load();
  return s;
}

void Update(const std::function<void(CrashSetup*)>& change) {
  static std::mutex mutex;
  static std::vector<std::unique_ptr<CrashSetup>> published;
  std::lock_guard<std::mutex> lock(mutex);
  const CrashSetup* current = g_setup.load(std::memory_order_acquire);
  auto next = std::make_unique<CrashSetup>(current ? *current : DefaultSetup());
  change(next.get());
  g_setup.store(next.get(), std::memory_order_release);
  published.push_back(std::move(next));
}

// Output for the handler: write(2) only, no allocation, no stdio.
class RawOut {
 public:
  explicit RawOut(int fd) : fd_(fd) {}
  RawOut& Text(const char* s) {
    Bytes(s, strlen(s));
    return *this;
  }
  RawOut& Dec(uint64_t v) {
    char buf[24];
    Bytes(buf, Digits(v, 10, buf));
    return *this;
  }
  RawOut& Hex(uint64_t v) {
    char buf[24];
    Bytes("0x", 2);
    Bytes(buf, Digits(v, 16, buf));
    return *this;
  }

 private:
  static size_t Digits(uint64_t v, unsigned base, char* buf) {
    char tmp[24];
    size_t n = 0;
    do {
      tmp[n++] = "0123456789abcdef"[v % base];
      v /= base;
    } while (v);
    for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    return n;
  }
  void Bytes(const char* p, size_t n) {
    while (n > 0) {
      ssize_t w = write(fd_, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return;
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  int fd_;
};

const char* SignalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "?";
  }
}

uint64_t InstructionAddress(void* context) {
  if (!context) return 0;
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  return uc->uc_mcontext.pc;
#else
  (void)uc;
  return 0;
#endif
}

void WriteReport(const CrashSetup& setup, int sig, const siginfo_t* info, uint64_t ip) {
  // Never through a link someone else left in a shared folder.
  int fd = open(setup.reportPath.c_str(),
                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  RawOut out(fd);
  out.Text("PelmarVideoConverter ")
      .Dec(PELMAR_VERSION_MAJOR).Text(".").Dec(PELMAR_VERSION_MINOR).Text(".")
      .Dec(PELMAR_VERSION_PATCH).Text(".").Dec(PELMAR_VERSION_TWEAK)
      .Text(" crash report\nSignal: ").Dec(static_cast<uint64_t>(sig))
      .Text(" (").Text(SignalName(sig)).Text(")");
  // Faults raised by the processor carry the address; sent signals carry the sender.
  if (info && info->si_code > 0 && sig != SIGABRT) {
    out.Text(", code ").Dec(static_cast<uint64_t>(info->si_code))
        .Text("\nFault address: ").Hex(reinterpret_cast<uintptr_t>(info->si_addr));
  } else if (info) {
    out.Text(", sent by process ").Dec(static_cast<uint64_t>(info->si_pid));
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  out.Text("\nInstruction address: ").Hex(ip)
      .Text("\nTime: ").Dec(static_cast<uint64_t>(now.tv_sec)).Text(" (seconds since 1970, UTC)")
      .Text("\nProcess: ").Dec(static_cast<uint64_t>(getpid()))
      .Text(", thread ").Dec(static_cast<uint64_t>(syscall(SYS_gettid)))
      .Text("\nBacktrace:\n");
  void* frames[kBacktraceFrames];
  int n = backtrace(frames, kBacktraceFrames);
  backtrace_symbols_fd(frames, n, fd);
  close(fd);
}

void ShowBox(const CrashSetup& setup, int sig, uint64_t address) {
  if (!setup.showBox || setup.boxArgs.empty()) return;
  FillNumberPlaceholdersInto(g_message, sizeof g_message, setup.messageFormat.c_str(),
                             static_cast<uint64_t>(sig), address);
  size_t n = 0;
  for (const std::string& arg : setup.boxArgs) {
    if (n == kMaxBoxArgs) break;
    g_boxArgv[n++] = arg.c_str();
  }
  g_boxArgv[n++] = g_message;
  g_boxArgv[n] = nullptr;
  // _Fork, unlike fork, runs no atfork handlers and may be called here.
  pid_t pid = _Fork();
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(g_boxArgv[0], const_cast<char* const*>(g_boxArgv), environ);
    _exit(127);
  }
  if (pid < 0) return;
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void OnFatalSignal(int sig, siginfo_t* info, void* context) {
  const pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  pid_t reporter = 0;
  if (!g_crashingThread.compare_exchange_strong(reporter, self)) {
    // Another thread reports; the process ends with it.
    if (reporter != self)
      for (;;) pause();
    // A fault while reporting: end with it at once.
  } else if (const CrashSetup* setup = g_setup.load(std::memory_order_acquire)) {
    const uint64_t ip = InstructionAddress(context);
    WriteReport(*setup, sig, info, ip);
    uint64_t address = ip;
    if (!address && info && info->si_code > 0) address = reinterpret_cast<uintptr_t>(info->si_addr);
    ShowBox(*setup, sig, address);
  }
  // The default action ends the process with the signal's usual status once
  // the handler returns and the signal is unblocked.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);
}

}  // namespace

std::string CrashFilePath(const std::string& installDir, const std::string& dataDir) {
  bool install = !installDir.empty() && access(installDir.c_str(), W_OK) == 0;
  return platform::JoinPath(install || dataDir.empty() ? installDir : dataDir, kCrashFileName);
}

void InstallCrashHandlers() {
  if (g_installed.exchange(true)) return;
  // backtrace() loads its unwinder on first use; that must not happen in the handler.
  void* frames[2];
  backtrace(frames, 2);
  Update([](CrashSetup*) {});

  // A stack of its own, so that a stack overflow of this thread is reported too.
  static char altStack[64 * 1024];
  stack_t ss{};
  ss.ss_sp = altStack;
  ss.ss_size = sizeof altStack;
  sigaltstack(&ss, nullptr);

  struct sigaction sa {};
  sa.sa_sigaction = OnFatalSignal;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (int sig : kFatalSignals) sigaction(sig, &sa, nullptr);
}

void SetCrashFilePath(const std::string& path) {
  Update([&](CrashSetup* s) { s->reportPath = path; });
}

void SetCrashMessageFormat(const std::string& format) {
  Update([&](CrashSetup* s) { s->messageFormat = format; });
}

void SetCrashBoxCommand(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  // The handler cannot search PATH.
  if (!args.empty() && args[0].find('/') == std::string::npos) {
    std::string found = platform::FindProgram(args[0]);
    if (!found.empty()) args[0] = found;
  }
  const bool display = DisplayPresent();
  Update([&](CrashSetup* s) {
    s->boxArgs = args;
    s->showBox = display && !g_isCrashBox.load();
  });
}

const char* CrashBoxMessage(int argc, char** argv) {
  if (argc < 3 || strcmp(argv[1], kCrashBoxSwitch) != 0) return nullptr;
  if (!g_isCrashBox.exchange(true)) Update([](CrashSetup* s) { s->showBox = false; });
  return argv[2];
}

bool DisplayCanBeOpened(const std::string& displayName, std::string* why) {
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  const char* env = getenv("DISPLAY");
  const std::string name = !displayName.empty() ? displayName : env ? env : "";
  if (name.empty()) return fail("DISPLAY is not set");
  // The X protocol library, looked up when needed: the programs without
  // windows never load it.
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return fail("the X protocol library cannot be loaded");
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool ok = false;
  if (connect && hasError && disconnect) {
    // Even a failed connection is an object to be freed.
    void* connection = connect(name.c_str(), nullptr);
    ok = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);
  }
  dlclose(xcb);
  if (!ok) return fail("the X server at " + name + " cannot be reached or refuses the connection");
  return true;
}

bool ApplyCrashRecordRule(const AppPaths& paths, int sendAction) {
  if (sendAction == 0) return false;
  const std::string file = CrashFilePath(paths.installDir, paths.dataDir);
  struct stat st;
  if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const uint32_t time = static_cast<uint32_t>(st.st_mtime);
  const uint32_t handled =
      platform::RegGetDword(platform::Hive::CurrentUser, kRegistryKey, "UpDumpDay").value_or(0);
  if (time == handled) return false;
  platform::RegSetDword(kRegistryKey, "UpDumpDay", time);
  if (st.st_size <= 0 || st.st_size > kCrashFileLimit) return false;
  RunLog("crash report %s (%lld bytes) handed on", file.c_str(),
         static_cast<long long>(st.st_size));
  return true;
}

}  // namespace app
