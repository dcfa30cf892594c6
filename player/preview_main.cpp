// pelmar-preview FILE [START]: plays a file in a window of its own, for trying
// files by hand and for the tests. Keys: space pauses and resumes, left and
// right seek ten seconds, up and down change the volume, q or Escape quits, as
// do SIGINT and SIGTERM. On the way out it prints what it showed and dropped.
// A file that cannot be opened ends it at once with exit code 1.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <utility>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/source_open.h"
#include "player/player.h"

namespace {

volatile sig_atomic_t quitSignal = 0;
void OnQuitSignal(int) { quitSignal = 1; }

constexpr int kSeekStepSeconds = 10;
constexpr int kVolumeStep = 16;

// The picture's size from the file's header, upright, shrunk to fit 1280 x 720;
// 640 x 360 when the header does not tell (or there is no picture). The
// header alone is cheap: no frame is decoded before the player starts.
// False, with the reason, when the file cannot be opened at all: then there
// is nothing to show and no window to open.
bool WindowSizeFor(const std::string& path, int* width, int* height, std::string* error) {
  *width = 640;
  *height = 360;
  AVFormatContext* ic = nullptr;
  if (media::OpenSourceFile(path, &ic, nullptr, error) < 0) return false;
  int index = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index >= 0) {
    const AVCodecParameters* par = ic->streams[index]->codecpar;
    if (par->width > 0 && par->height > 0) {
      int w = par->width, h = par->height;
      const int turn = media::StreamTurn(ic->streams[index]);
      if (turn == 90 || turn == 270) std::swap(w, h);
      double scale = std::min({1.0, 1280.0 / w, 720.0 / h});
      *width = std::max(1, int(w * scale));
      *height = std::max(1, int(h * scale));
    }
  }
  avformat_close_input(&ic);
  return true;
}

void Seek(player::PlayerControl& control, int delta) {
  int target = std::max(0, int(control.positionSeconds) + delta);
  control.seekSeconds = target;
  control.command = player::SeekRequested;
}

void HandleKey(player::PlayerControl& control, KeySym key) {
  switch (key) {
    case XK_space:
      control.command =
          control.command == player::Paused ? player::ResumeRequested : player::PauseRequested;
      break;
    case XK_Left:
      Seek(control, -kSeekStepSeconds);
      break;
    case XK_Right:
      Seek(control, kSeekStepSeconds);
      break;
    case XK_Up:
      control.outputVolume = std::min(player::kFullVolume, control.outputVolume + kVolumeStep);
      break;
    case XK_Down:
      control.outputVolume = std::max(0, control.outputVolume - kVolumeStep);
      break;
    case XK_q:
    case XK_Escape:
      control.command = player::QuitRequested;
      break;
    default:
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: %s FILE [START-SECONDS]\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  int start = 0;
  if (argc == 3) {
    char* end = nullptr;
    long value = strtol(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || value < 0 || value > 1000000000L) {
      fprintf(stderr, "%s: the start must be whole seconds, not '%s'\n", argv[0], argv[2]);
      return 2;
    }
    start = int(value);
  }

  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  // A file that cannot be opened ends the preview at once, before any window.
  int width, height;
  std::string error;
  if (!WindowSizeFor(path, &width, &height, &error)) {
    fprintf(stderr, "%s: cannot open %s: %s\n", argv[0], path.c_str(), error.c_str());
    return 1;
  }

  XInitThreads();
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
    return 1;
  }
  const int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width),
                                      unsigned(height), 0, BlackPixel(display, screen),
                                      BlackPixel(display, screen));
  const std::string title = "pelmar-preview: " + path.substr(path.find_last_of('/') + 1);
  XStoreName(display, window, title.c_str());
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event;;) {  // the player draws into a window that is on screen
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  fprintf(stderr, "space: pause/resume, left/right: -/+%d s, up/down: volume, q: quit\n",
          kSeekStepSeconds);

  player::PlayerThread player;
  player.Start(window, path, start);
  player::PlayerControl& control = player.control();
  while (!player.finished()) {
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 50);
    if (quitSignal) control.command = player::QuitRequested;
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == KeyPress) {
        HandleKey(control, XLookupKeysym(&event.xkey, 0));
      } else if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow) {
        control.command = player::QuitRequested;
      } else if (event.type == ConfigureNotify) {
        control.RequestWindowSize(event.xconfigure.width, event.xconfigure.height);
      }
    }
  }
  // The window goes only after the player has let go of it.
  player.Stop();
  const player::PlayerEnd end = player.end();
  if (end.kind != player::PlayerEnd::Kind::Quit)
    fprintf(stderr, "pelmar-preview: %s\n", end.error.c_str());
  const player::PlayerStats& stats = player.stats();
  const long long first =
      stats.firstPictureMicros ? stats.firstPictureMicros - stats.startMicros : -1;
  fprintf(stderr,
          "first picture after %lld ms, pictures shown %lld, dropped early %lld, "
          "dropped late %lld\n",
          first < 0 ? -1 : first / 1000, static_cast<long long>(stats.picturesShown),
          static_cast<long long>(stats.framesDroppedEarly),
          static_cast<long long>(stats.framesDroppedLate));
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return end.kind == player::PlayerEnd::Kind::Quit ? 0 : 1;
}
