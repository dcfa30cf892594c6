// The preview against ffplay on the same 1080p H.264 file (30 fps, with
// sound), each in its own process under the same X server: time from start to
// the first picture on screen, CPU time per second of playback, pictures
// dropped while playing at real speed, and how soon the q key ends the
// program while it plays, while it is paused and right after a seek (the
// same keys serve both). Prints each figure and the ratio.
//
// Run under a display large enough for a 1280x720 window, with sound going
// nowhere, e.g.:
//   SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/player/player_bench
// With the argument "portrait" the file is a phone's portrait clip: stored
// 1920x1080 and shown turned a quarter, which both players turn upright.
#include <X11/Xlib.h>  // last: its macros clash with names above
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 6;  // two of each way of quitting
constexpr double kPlaySeconds = 8.0;
constexpr double kSteadyFrom = 2.0;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// User and system CPU seconds of a live process.
double CpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t end = text.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(text.substr(end + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;  // fields 3 to 13
  long long user = 0, system = 0;
  fields >> user >> system;
  return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

Window FindWindow(Display* display, const std::string& title) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

// Something other than black on the window's middle row.
bool ShowsPicture(Display* display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
    return false;
  XImage* image = XGetImage(display, window, 0, attributes.height / 2, unsigned(attributes.width),
                            1, AllPlanes, ZPixmap);
  if (!image) return false;
  bool lit = false;
  for (int x = 0; x < attributes.width && !lit; ++x)
    lit = (XGetPixel(image, x, 0) & 0xffffff) > 0x101010;
  XDestroyImage(image);
  return lit;
}

struct Run {
  double firstPicture = -1;  // seconds from start
  double cpuPerSecond = -1;
  long long dropped = -1;
  double quit = -1;  // seconds from the q key to the end of the process
};

enum class QuitWhile { Playing, Paused, Seeking };
const char* const kQuitNames[] = {"playing", "paused", "after a seek"};

// A key press as the window would get it from the keyboard.
void SendKey(Display* display, Window window, KeySym symbol) {
  XKeyEvent key{};
  key.type = KeyPress;
  key.display = display;
  key.window = window;
  key.root = DefaultRootWindow(display);
  key.same_screen = True;
  key.keycode = XKeysymToKeycode(display, symbol);
  XSendEvent(display, window, True, KeyPressMask, reinterpret_cast<XEvent*>(&key));
  XFlush(display);
}

// Whether the process has ended, leaving it to be reaped by its wait().
bool Ended(int pid) {
  siginfo_t info{};
  return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }  // windows come and go

Run Measure(Display* display, const std::vector<std::string>& argv, const std::string& title,
            const std::string& errFile, const std::regex& dropped, QuitWhile quitWhile) {
  Run run;
  platform::Process process;
  std::string error;
  const auto start = Clock::now();
  platform::ProcessOptions options;
  options.stderrFile = errFile;
  if (!process.start(argv, options, &error)) {
    fprintf(stderr, "cannot start %s: %s\n", argv[0].c_str(), error.c_str());
    return run;
  }
  Window window = 0;
  while (Seconds(start) < kPlaySeconds) {
    if (!window) window = FindWindow(display, title);
    if (window && ShowsPicture(display, window)) {
      run.firstPicture = Seconds(start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // CPU of steady playback, after start-up.
  auto sleepUntil = [&](double seconds) {
    std::this_thread::sleep_for(
        std::chrono::duration<double>(std::max(0.0, seconds - Seconds(start))));
  };
  sleepUntil(kSteadyFrom);
  const double cpuBefore = CpuSeconds(process.pid());
  const double from = Seconds(start);
  sleepUntil(kPlaySeconds);
  run.cpuPerSecond = (CpuSeconds(process.pid()) - cpuBefore) / (Seconds(start) - from);
  if (window) {
    if (quitWhile == QuitWhile::Paused) {
      SendKey(display, window, XK_space);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    } else if (quitWhile == QuitWhile::Seeking) {
      SendKey(display, window, XK_Left);  // ten seconds back: to the start
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto asked = Clock::now();
    SendKey(display, window, XK_q);
    while (!Ended(process.pid()) && Seconds(asked) < 30)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (Ended(process.pid())) run.quit = Seconds(asked);
  }
  if (!Ended(process.pid())) ::kill(process.pid(), SIGTERM);
  process.wait();

  std::string log;
  platform::ReadFile(errFile, &log);
  for (auto it = std::sregex_iterator(log.begin(), log.end(), dropped);
       it != std::sregex_iterator(); ++it) {
    long long total = 0;
    for (size_t group = 1; group < it->size(); ++group) total += std::stoll((*it)[group]);
    run.dropped = total;  // the last report counts
  }
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool portrait = argc > 1 && std::string(argv[1]) == "portrait";
  const std::string ffmpeg = platform::FindProgram("ffmpeg");
  const std::string ffplay = platform::FindProgram("ffplay");
  if (ffmpeg.empty() || ffplay.empty()) {
    fprintf(stderr, "ffmpeg and ffplay are needed\n");
    return 1;
  }
  XInitThreads();
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    fprintf(stderr, "no X display (run under xvfb-run)\n");
    return 1;
  }
  XSetErrorHandler(IgnoreXErrors);
  const char* tmp = getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmar-player-bench-XXXXXX";
  if (!mkdtemp(dir.data())) {
    perror("mkdtemp");
    return 1;
  }
  const std::string file = dir + "/clip1080.mp4";
  printf("making a 1080p 30 fps H.264 file of %.0f s%s...\n", kPlaySeconds + 4,
         portrait ? ", shown turned a quarter" : "");
  const std::string stored = portrait ? dir + "/stored.mp4" : file;
  bool made = platform::RunAndWait({ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                                    "testsrc2=size=1920x1080:rate=30:duration=12", "-f", "lavfi",
                                    "-i", "sine=frequency=440:sample_rate=48000:duration=12",
                                    "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt",
                                    "yuv420p", "-c:a", "aac", stored}) == 0;
  // The turn is written by a stream copy (an encoder leaves it out). This
  // transcoder writes the tag's degrees counter-clockwise: -90 is a phone's
  // portrait clip.
  if (made && portrait)
    made = platform::RunAndWait({ffmpeg, "-v", "error", "-y", "-i", stored, "-c", "copy",
                                 "-metadata:s:v:0", "rotate=-90", file}) == 0;
  if (!made) {
    fprintf(stderr, "ffmpeg could not make the file\n");
    return 1;
  }

  struct Player {
    const char* name;
    std::vector<std::string> argv;
    std::string title;
    std::regex dropped;
    std::vector<double> first, cpu, drops;
    std::vector<double> quits[3];  // by QuitWhile
  };
  Player players[] = {
      {"pelmar-preview",
       {PELMAR_PREVIEW_PROGRAM, file},
       "pelmar-preview: clip1080.mp4",
       std::regex("dropped early (\\d+), dropped late (\\d+)"),
       {},
       {},
       {},
       {}},
      {"ffplay",
       {ffplay, "-x", "1280", "-y", "720", "-window_title", "ffplay-reference", file},
       "ffplay-reference",
       std::regex("fd=\\s*(\\d+)"),
       {},
       {},
       {},
       {}},
  };
  for (int i = 0; i < kRuns; ++i) {
    const QuitWhile quitWhile = QuitWhile(i % 3);
    for (Player& p : players) {  // alternate, so that both see the same machine
      Run run = Measure(display, p.argv, p.title, dir + "/" + p.name + ".log", p.dropped,
                        quitWhile);
      printf("  %-15s run %d: first picture %.3f s, CPU %.3f s/s, dropped %lld, "
             "quit %s %.3f s\n",
             p.name, i + 1, run.firstPicture, run.cpuPerSecond, run.dropped,
             kQuitNames[int(quitWhile)], run.quit);
      p.first.push_back(run.firstPicture);
      p.cpu.push_back(run.cpuPerSecond);
      p.drops.push_back(double(run.dropped));
      p.quits[int(quitWhile)].push_back(run.quit);
    }
  }

  const Player& ours = players[0];
  const Player& reference = players[1];
  const std::string heading = "medians of " + std::to_string(kRuns) + " runs (quits: 2)";
  printf("\n%-30s %14s %9s   ratio\n", heading.c_str(), "pelmar-preview", "ffplay");
  auto line = [](const char* what, const std::vector<double>& a, const std::vector<double>& b) {
    const double x = Median(a), y = Median(b);
    printf("%-30s %14.3f %9.3f   %s\n", what, x, y,
           y > 0 ? std::to_string(x / y).substr(0, 5).c_str() : "-");
  };
  line("first picture (s)", ours.first, reference.first);
  line("CPU per played second (s)", ours.cpu, reference.cpu);  // from 2 s to 8 s
  line("pictures dropped", ours.drops, reference.drops);
  for (int mode = 0; mode < 3; ++mode) {
    const std::string what = std::string("quit on q, ") + kQuitNames[mode] + " (s)";
    line(what.c_str(), ours.quits[mode], reference.quits[mode]);
  }

  platform::RemoveTree(dir);
  XCloseDisplay(display);
  return 0;
}
