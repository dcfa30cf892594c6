// pelmar-video-converter: the converter's window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/core/crash.h"
#include "ui/startup.h"

namespace {

// The value of a Qt option given as "-name value" or "--name value".
std::string QtOption(int argc, char** argv, const char* name) {
  for (int i = 1; i + 1 < argc; ++i) {
    const char* a = argv[i];
    if (a[0] == '-' && a[1] == '-') ++a;
    if (a[0] == '-' && strcmp(a + 1, name) == 0) return argv[i + 1];
  }
  return {};
}

// Qt aborts when it cannot reach the display, and an abort is a crash; say
// so plainly instead. Platforms other than X (offscreen, Wayland) are left
// to Qt.
bool DisplayUsable(int argc, char** argv, std::string* why) {
  std::string platform = QtOption(argc, argv, "platform");
  if (platform.empty()) {
    const char* qpa = getenv("QT_QPA_PLATFORM");
    platform = qpa ? qpa : "";
  }
  if (!platform.empty() && platform.rfind("xcb", 0) != 0) return true;
  const char* x = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  const std::string display = QtOption(argc, argv, "display");
  if (platform.empty() && display.empty() && !(x && *x) && wayland && *wayland) return true;
  return app::DisplayCanBeOpened(display, why);
}

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (!DisplayUsable(argc, argv, &why)) {
    fprintf(stderr, "pelmar-video-converter: cannot open the display: %s\n", why.c_str());
    return 1;
  }
  // The preview draws through X11 into a window of ours: on a Wayland
  // desktop the program runs under XWayland.
  const char* x = getenv("DISPLAY");
  if (QtOption(argc, argv, "platform").empty() && x && *x) setenv("QT_QPA_PLATFORM", "xcb", 0);
  return ui::RunProgram(argc, argv);
}
