// The real window program under a virtual display: it shows a window that is
// not blank, and a second start hands over to the first and ends.
// gtest first: X11 defines macros (None, Bool) that its headers use as names.
#include "tests/support/sandbox.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/files.h"
#include "platform/process.h"

namespace {

// The first mapped top-level window whose name holds `part`.
Window FindWindowNamed(Display* display, Window from, const std::string& part) {
  char* name = nullptr;
  if (XFetchName(display, from, &name) && name) {
    bool match = std::string(name).find(part) != std::string::npos;
    XFree(name);
    XWindowAttributes a;
    if (match && XGetWindowAttributes(display, from, &a) && a.map_state == IsViewable) return from;
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, from, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i)
      found = FindWindowNamed(display, children[i], part);
    if (children) XFree(children);
  }
  return found;
}

class WindowProgramTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    setenv("LC_ALL", "C.UTF-8", 1);  // English titles, whatever the machine's locale
    // No help page at the first start: nothing may open a browser here.
    std::string data = sandbox().dataHome() + "/PelmarVideoConverter";
    platform::CreateFolders(data);
    testsupport::WriteText(data + "/Config.ini", "[Setting]\nOpenTutorial=0\n");
  }
  bool Start(platform::Process& p) {
    platform::ProcessOptions options;
    options.stderrFile = path("program.log");
    return p.start({PELMAR_WINDOW_PROGRAM}, options);
  }
};

TEST_F(WindowProgramTest, ShowsAWindowThatIsNotBlank) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "run under xvfb-run";
  platform::Process program;
  ASSERT_TRUE(Start(program));
  Window window = 0;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!window && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    window = FindWindowNamed(display, DefaultRootWindow(display), "Pelmar");
  }
  ASSERT_NE(window, 0u) << testsupport::ReadText(path("program.log"));
  std::this_thread::sleep_for(std::chrono::seconds(1));  // let it paint
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(display, window, &a));
  XImage* image = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  std::set<unsigned long> colours;
  for (int y = 0; y < a.height; y += 3)
    for (int x = 0; x < a.width; x += 3) colours.insert(XGetPixel(image, x, y));
  XDestroyImage(image);
  EXPECT_GT(colours.size(), 20u) << "a blank window";
  EXPECT_GE(a.width, 600);

  // A second start raises the first one and ends at once.
  platform::Process second;
  ASSERT_TRUE(Start(second));
  std::atomic<bool> ended{false};
  std::thread guard([&second, &ended] {
    // A second start that stayed would hang the test: end it after a while.
    for (int i = 0; i < 100 && !ended; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!ended) second.kill();
  });
  int code = second.wait();
  ended = true;
  guard.join();
  EXPECT_EQ(code, 0) << "the second start did not hand over";

  // "/uninstall" is heard even with the program open: the running window closes.
  platform::ProcessOptions options;
  options.stderrFile = path("uninstall.log");
  EXPECT_EQ(platform::RunAndWait({PELMAR_WINDOW_PROGRAM, "/uninstall"}, options), 0);
  auto closeBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (FindWindowNamed(display, DefaultRootWindow(display), "Pelmar") &&
         std::chrono::steady_clock::now() < closeBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(FindWindowNamed(display, DefaultRootWindow(display), "Pelmar"), 0u);
  program.kill();
  program.wait();
  XCloseDisplay(display);
}

TEST_F(WindowProgramTest, AMissingSkinSaysSoAndOpensNoWindow) {
  // A copy of the program in an install folder that has its languages but no skins.
  std::string install = sandbox().installDir();
  std::string program = install + "/pelmar-video-converter";
  std::string bin = platform::ParentDir(PELMAR_WINDOW_PROGRAM);
  ASSERT_EQ(platform::RunAndWait({"cp", "-r", bin + "/language", install + "/"}), 0);
  ASSERT_EQ(platform::RunAndWait({"cp", PELMAR_WINDOW_PROGRAM, program}), 0);

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "run under xvfb-run";
  platform::Process process;
  platform::ProcessOptions options;
  options.stderrFile = path("program.log");
  ASSERT_TRUE(process.start({program}, options));
  Window box = 0;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!box && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    box = FindWindowNamed(display, DefaultRootWindow(display), "Error");
  }
  EXPECT_NE(box, 0u) << "no box telling that the skin is missing";
  EXPECT_EQ(FindWindowNamed(display, DefaultRootWindow(display), "Pelmar"), 0u);
  process.kill();
  process.wait();
  XCloseDisplay(display);
}

}  // namespace
