// A program that crashes on purpose, for the crash tests.
//
//   crash_helper <install dir> <segv|abort|fpe|ill|overflow|thread-overflow>
//                <box output file | ->
//
// With a box output file a display is pretended, and the crash box (this
// program again, started by the handler) writes its message there.
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "app/core/app_paths.h"
#include "app/core/crash.h"
#include "app/core/language.h"
#include "platform/thread_signal_stack.h"

namespace {

volatile bool g_stop = false;

int Recurse(int depth) {
  if (g_stop) return 0;
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + frame[0];
}

// The processor's own fault, which a build with the undefined-behaviour
// checker would report and end before it happens.
__attribute__((no_sanitize("undefined"), noinline)) int Divide(volatile int a, volatile int b) {
  return a / b;
}

}  // namespace

int main(int argc, char** argv) {
  // As the window program does: handlers first, then the crash box switch.
  const bool isBox = argc >= 2 && strcmp(argv[1], app::kCrashBoxSwitch) == 0;
  if (isBox && getenv("PELMAR_TEST_BOX_CRASHES")) {
    app::InstallCrashHandlers();
    if (const char* out = getenv("PELMAR_TEST_BOX_OUT"))
      app::SetCrashFilePath(std::string(out) + ".report");
  }
  if (const char* message = app::CrashBoxMessage(argc, argv)) {
    const char* out = getenv("PELMAR_TEST_BOX_OUT");
    if (!out) return 1;
    if (!getenv("PELMAR_TEST_BOX_CRASHES")) {
      std::ofstream(out, std::ios::binary) << message;
      return 0;
    }
    // A box that crashes in turn, as one without a display would. Each box
    // adds a line; a chain is cut at ten so that a test can see it.
    std::string seen;
    {
      std::ifstream in(out, std::ios::binary);
      std::getline(in, seen, '\0');
    }
    if (std::count(seen.begin(), seen.end(), '\n') >= 10) return 0;
    std::ofstream(out, std::ios::binary | std::ios::app) << "box\n";
    abort();
  }
  if (argc != 4) return 2;
  const std::string box = argv[3];
  if (box == "-") {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  } else {
    setenv("DISPLAY", ":99", 1);
    setenv("PELMAR_TEST_BOX_OUT", box.c_str(), 1);
  }
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);

  app::InstallCrashHandlers();
  app::AppPaths paths = app::AppPaths::Build(std::string(argv[1]) + "/pelmar-video-converter");
  paths.CreateDataDir();
  app::SetPaths(paths);
  app::SetCrashFilePath(app::CrashFilePath(paths.installDir, paths.dataDir));
  app::SetCurrentLanguageId(0);

  const std::string kind = argv[2];
  if (kind == "segv") {
    // The address comes through a volatile, so the compiler cannot see it.
    volatile uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 1;
  } else if (kind == "abort") {
    abort();
  } else if (kind == "fpe") {
    volatile int result = Divide(7, 0);
    (void)result;
  } else if (kind == "ill") {
    __builtin_trap();
  } else if (kind == "overflow") {
    return Recurse(0);
  } else if (kind == "thread-overflow") {
    int result = 0;
    std::thread worker([&result] {
      platform::ThreadSignalStack signalStack;
      result = Recurse(0);
    });
    worker.join();
    return result;
  }
  return 3;
}
