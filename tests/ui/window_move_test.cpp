// The real window program on a virtual display with a window manager
// (openbox), driven by real pointer events (xdotool): a quick click on the
// caption leaves the window where it is, however the pointer moves after it,
// and a drag of the caption moves it. Skipped where openbox or xdotool is
// missing.
// gtest first: X11 defines macros (None, Bool) that its headers use as names.
#include "tests/support/sandbox.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include "tests/support/x_window.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace {

// Long enough for any machine, however busy: only a window that never does
// what the test waits for reaches it.
constexpr std::chrono::seconds kHung{60};

struct Point {
  int x = 0;
  int y = 0;
};

int Distance(Point a, Point b) { return std::abs(a.x - b.x) + std::abs(a.y - b.y); }

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // windows come and go

using testsupport::FindWindowNamed;

// A window manager announces itself on the root window.
bool HasWindowManager(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                        AnyPropertyType, &type, &format, &count, &after,
                                        &data) == Success &&
                     count == 1;
  if (data) XFree(data);
  return found;
}

// The window manager has put its frame around the window.
bool Framed(Display* display, Window window) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  return parent != root;
}

Point Where(Display* display, Window window) {
  Point p;
  Window child;
  XSync(display, False);
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &p.x, &p.y, &child);
  return p;
}

bool Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return platform::RunAndWait(argv) == 0;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class WindowMoveTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    if (platform::FindProgram("openbox").empty()) GTEST_SKIP() << "openbox is not installed";
    if (platform::FindProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "run on a display (tests/support/with-xvfb.sh)";
    XSetErrorHandler(IgnoreErrors);
    setenv("LC_ALL", "C.UTF-8", 1);
    // No help page at the first start: nothing may open a browser here.
    const std::string data = sandbox().dataHome() + "/PelmarVideoConverter";
    platform::CreateFolders(data);
    testsupport::WriteText(data + "/Config.ini", "[Setting]\nOpenTutorial=0\n");

    platform::ProcessOptions wmOptions;
    wmOptions.stderrFile = path("openbox.log");
    ASSERT_TRUE(manager_.start({"openbox", "--sm-disable"}, wmOptions));
    ASSERT_TRUE(WaitUntil([&] { return HasWindowManager(display_); }))
        << testsupport::ReadText(path("openbox.log"));

    platform::ProcessOptions options;
    options.stderrFile = path("program.log");
    ASSERT_TRUE(program_.start({PELMAR_WINDOW_PROGRAM}, options));
    ASSERT_TRUE(WaitUntil([&] {
      window_ = FindWindowNamed(display_, DefaultRootWindow(display_), "Pelmar");
      return window_ != 0 && Framed(display_, window_);
    })) << testsupport::ReadText(path("program.log"));
    // Placed and painted: the position no longer changes.
    Point last = Where(display_, window_);
    ASSERT_TRUE(WaitUntil([&] {
      Pause(300);
      const Point now = Where(display_, window_);
      const bool still = Distance(now, last) == 0;
      last = now;
      return still;
    }));
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(display_, window_, &a));
    width_ = a.width;
  }

  void TearDown() override {
    if (program_.started()) {
      program_.kill();
      program_.wait();
    }
    if (manager_.started()) {
      manager_.kill();
      manager_.wait();
    }
    if (display_) XCloseDisplay(display_);
    SandboxTest::TearDown();
  }

  template <class F>
  bool WaitUntil(F done) {
    const auto end = std::chrono::steady_clock::now() + kHung;
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      Pause(50);
    }
    return false;
  }

  // A point of the caption (the title bar across the top) away from its
  // buttons, on the screen.
  Point Caption() {
    const Point at = Where(display_, window_);
    return {at.x + width_ * 2 / 5, at.y + 22};
  }

  // Moves the pointer away in steps, as a hand does, then waits a while: a
  // window stuck to the pointer follows it.
  Point MovePointerAwayAndWait() {
    for (int step = 0; step < 6; ++step) {
      EXPECT_TRUE(Xdotool({"mousemove_relative", "--", "25", "20"}));
      Pause(100);
    }
    Pause(1500);
    return Where(display_, window_);
  }

  Display* display_ = nullptr;
  platform::Process manager_;
  platform::Process program_;
  Window window_ = 0;
  int width_ = 0;
};

TEST_F(WindowMoveTest, AQuickClickOnTheCaptionLeavesTheWindowWhereItIs) {
  struct Click {
    const char* what;
    std::vector<std::string> events;  // press to release, with no pause
  };
  const Click clicks[] = {
      {"a click", {"mousedown", "1", "mouseup", "1"}},
      // A hand that slips a few pixels between press and release.
      {"a click that slips", {"mousedown", "1", "mousemove_relative", "--", "6", "2",
                              "mousemove_relative", "--", "6", "2", "mouseup", "1"}},
  };
  for (const Click& click : clicks) {
    SCOPED_TRACE(click.what);
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      const Point caption = Caption();
      ASSERT_TRUE(Xdotool({"mousemove", "--sync", std::to_string(caption.x),
                           std::to_string(caption.y)}));
      Pause(200);
      const Point before = Where(display_, window_);
      ASSERT_TRUE(Xdotool(click.events));
      const Point after = MovePointerAwayAndWait();
      // The slip may take the window along by itself, never by the move after.
      EXPECT_LE(Distance(after, before), 30)
          << "the window followed the pointer from " << before.x << "," << before.y << " to "
          << after.x << "," << after.y;
      if (Distance(after, before) > 30) {
        // Lets go of a window that is stuck, for the next round.
        Xdotool({"click", "1"});
        Pause(500);
      }
    }
  }
}

TEST_F(WindowMoveTest, ADragOfTheCaptionMovesTheWindowAndLetsGoOnRelease) {
  const Point caption = Caption();
  const Point before = Where(display_, window_);
  ASSERT_TRUE(
      Xdotool({"mousemove", "--sync", std::to_string(caption.x), std::to_string(caption.y)}));
  Pause(200);
  ASSERT_TRUE(Xdotool({"mousedown", "1"}));
  Pause(200);
  for (int step = 0; step < 8; ++step) {
    ASSERT_TRUE(Xdotool({"mousemove_relative", "--", "15", "10"}));
    Pause(150);
  }
  ASSERT_TRUE(Xdotool({"mouseup", "1"}));
  // The pointer went 120,80; the window follows from where the window
  // manager took over (after the first few pixels), so by most of that.
  auto followed = [&] {
    const Point now = Where(display_, window_);
    return now.x - before.x >= 80 && now.x - before.x <= 125 && now.y - before.y >= 50 &&
           now.y - before.y <= 85;
  };
  EXPECT_TRUE(WaitUntil(followed))
      << "the window went from " << before.x << "," << before.y << " to "
      << Where(display_, window_).x << "," << Where(display_, window_).y;
  // Released: the pointer goes on alone.
  const Point dropped = Where(display_, window_);
  const Point later = MovePointerAwayAndWait();
  EXPECT_LE(Distance(later, dropped), 2) << "the window still follows the pointer";
}

}  // namespace
