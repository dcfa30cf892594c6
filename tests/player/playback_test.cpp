// The player in a real X11 window (run under Xvfb with SDL's dummy sound
// driver): pixels read back from the window, positions from the control.
// What happens and in which order is checked, never how fast: a deadline only
// ends a test whose player hangs. How fast the player is, bench/player tells.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "player/player.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

// Last: Xlib's macros clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace player {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Rgb {
  int r, g, b;
  bool Red() const { return r > 200 && g < 60 && b < 60; }
  bool Black() const { return r < 30 && g < 30 && b < 30; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "rgb(" << c.r << "," << c.g << "," << c.b << ")";
}

// A plain window of the test's own X connection, as a host would give it.
class TestWindow {
 public:
  TestWindow(int width, int height) : width_(width), height_(height) {
    XInitThreads();  // SDL turns Xlib's locking on; it must be on before the first call
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, unsigned(width),
                                  unsigned(height), 0, 0, 0);
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    for (XEvent event;;) {
      XNextEvent(display_, &event);
      if (event.type == MapNotify) break;
    }
  }
  ~TestWindow() {
    if (!display_) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }
  uintptr_t id() const { return window_; }

  Rgb Pixel(int x, int y) const { return Read(window_, x, y); }
  Rgb Read(Window window, int x, int y) const {
    XWindowAttributes attributes;  // reading a window not on screen is an X error
    if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
      return {-1, -1, -1};
    XImage* image = XGetImage(display_, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff)};
  }
  std::vector<unsigned long> Snapshot() const {
    std::vector<unsigned long> pixels;
    XImage* image =
        XGetImage(display_, window_, 0, 0, unsigned(width_), unsigned(height_), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xffffff);
    XDestroyImage(image);
    return pixels;
  }
  // Pixels that are not black, over the whole window.
  int LitPixels() const {
    int lit = 0;
    for (unsigned long pixel : Snapshot()) lit += pixel > 0x101010;
    return lit;
  }
  void Resize(int width, int height) {
    width_ = width;
    height_ = height;
    XResizeWindow(display_, window_, unsigned(width), unsigned(height));
    XSync(display_, False);
  }
  Display* display() const { return display_; }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
  int width_, height_;
};

// Long enough for any machine, however busy; only a hung player reaches it.
constexpr std::chrono::milliseconds kHung = 60s;

bool WaitUntil(const std::function<bool()>& done) {
  const auto end = Clock::now() + kHung;
  while (Clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

int ThreadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

class PlaybackTest : public testsupport::SandboxTest {
 protected:
  void TearDown() override {
    player_.Stop();  // before its window goes
    window_.reset();
    testsupport::SandboxTest::TearDown();
  }

  TestWindow& OpenWindow(int width, int height) {
    window_ = std::make_unique<TestWindow>(width, height);
    return *window_;
  }

  std::string Media(const std::string& name, const testsupport::MediaSpec& spec) {
    std::string file = path(name);
    std::string why = testsupport::MakeMedia(file, spec);
    EXPECT_EQ(why, "");
    return file;
  }
  static testsupport::MediaSpec Spec(double seconds, const std::string& color = "") {
    testsupport::MediaSpec spec;
    spec.seconds = seconds;
    spec.color = color;
    return spec;
  }
  // Key frames every few pictures, so that seeks land close to their target.
  static testsupport::MediaSpec SeekableSpec(double seconds) {
    testsupport::MediaSpec spec = Spec(seconds);
    spec.videoCodec = "mpeg4";
    return spec;
  }

  void Play(const TestWindow& window, const std::string& file, int start = 0) {
    ASSERT_TRUE(window.ok()) << "no X display";
    player_.Start(window.id(), file, start);
  }
  double Position() { return player_.control().positionSeconds; }
  void Command(PlayerCommand command) { player_.control().command = command; }
  void SeekTo(int seconds) {
    player_.control().seekSeconds = seconds;
    player_.control().command = SeekRequested;
  }
  bool WaitForCommand(PlayerCommand command) {
    return WaitUntil([&] { return player_.control().command == command; });
  }
  // Pictures the player took from the file: shown, or dropped as too late.
  int64_t Taken() {
    const PlayerStats& s = player_.stats();
    return s.picturesShown + s.framesDroppedEarly + s.framesDroppedLate;
  }
  // Plays on until the position reaches `to`, never stepping back.
  void ExpectPlaysOnTo(double to) {
    double last = Position();
    bool back = false;
    EXPECT_TRUE(WaitUntil([&] {
      const double now = Position();
      back = back || now < last;
      last = now;
      return now >= to;
    })) << "stopped at " << last;
    EXPECT_FALSE(back) << "the position stepped back";
  }

  PlayerThread player_;
  std::unique_ptr<TestWindow> window_;
};

TEST_F(PlaybackTest, ShowsThePictureLetterboxedInTheWindow) {
  std::string file = Media("red.mp4", Spec(3, "red"));
  TestWindow& window = OpenWindow(480, 240);  // wider than the 4:3 picture: bars left and right
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return window.Pixel(240, 120).Red(); })) << window.Pixel(240, 120);
  EXPECT_TRUE(window.Pixel(90, 120).Red()) << window.Pixel(90, 120);
  EXPECT_TRUE(window.Pixel(390, 120).Red()) << window.Pixel(390, 120);
  for (int x : {10, 70, 410, 470})
    EXPECT_TRUE(window.Pixel(x, 120).Black()) << "x " << x << ": " << window.Pixel(x, 120);
  EXPECT_EQ(player_.stats().showMode, ShowVideo);
  EXPECT_TRUE(player_.stats().audioOpen);

  // The host makes the window tall: bars above and below, as a host reports it.
  window.Resize(240, 480);
  player_.control().RequestWindowSize(240, 480);
  auto letterboxed = [&] {
    for (int y : {160, 240, 310})
      if (!window.Pixel(120, y).Red()) return false;
    for (int y : {10, 140, 340, 470})
      if (!window.Pixel(120, y).Black()) return false;
    return true;
  };
  EXPECT_TRUE(WaitUntil(letterboxed));
}

// A phone's clip is shown as the transcoder turns it: the stored picture's red
// top-left quarter, upright, where its clockwise turn puts it, and the
// picture's upright shape filling a window of that shape.
TEST_F(PlaybackTest, ATurnedPictureIsShownUpright) {
  struct Case {
    int rotation;
    int width, height;  // as shown
    int redQuarter;     // top-left, top-right, bottom-left, bottom-right
  } cases[] = {{90, 240, 320, 1}, {180, 320, 240, 3}, {270, 240, 320, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotation);
    testsupport::MediaSpec spec = Spec(3, "blue");
    spec.corner = "red";
    spec.rotation = c.rotation;
    const std::string file = Media("turned" + std::to_string(c.rotation) + ".mp4", spec);
    TestWindow& window = OpenWindow(c.width, c.height);
    Play(window, file);
    auto upright = [&] {
      for (int q = 0; q < 4; ++q) {
        const Rgb p = window.Pixel(c.width / 4 + q % 2 * c.width / 2,
                                   c.height / 4 + q / 2 * c.height / 2);
        const bool red = p.Red(), blue = p.b > 200 && p.r < 60;
        if (q == c.redQuarter ? !red : !blue) return false;
      }
      return true;
    };
    EXPECT_TRUE(WaitUntil(upright))
        << window.Pixel(c.width / 4, c.height / 4) << window.Pixel(c.width * 3 / 4, c.height / 4)
        << window.Pixel(c.width / 4, c.height * 3 / 4)
        << window.Pixel(c.width * 3 / 4, c.height * 3 / 4);
    // Filled to its edges: no bars beside an upright picture in an upright window.
    EXPECT_FALSE(window.Pixel(2, c.height / 2).Black()) << window.Pixel(2, c.height / 2);
    EXPECT_FALSE(window.Pixel(c.width - 3, c.height / 2).Black());
    EXPECT_FALSE(window.Pixel(c.width / 2, 2).Black()) << window.Pixel(c.width / 2, 2);
    player_.Stop();
  }
}

// No sound: the external clock leads. GIF pictures are packed BGRA with alpha.
TEST_F(PlaybackTest, PictureWithoutSoundInAPackedFormatPlays) {
  testsupport::MediaSpec spec = Spec(3, "red");
  std::string file = Media("red.gif", spec);
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  EXPECT_TRUE(WaitUntil([&] { return window.Pixel(160, 120).Red(); })) << window.Pixel(160, 120);
  EXPECT_FALSE(player_.stats().audioOpen);
  ExpectPlaysOnTo(2.5);  // of 3 s
}

TEST_F(PlaybackTest, CoverPictureOfASoundFileIsShown) {
  testsupport::MediaSpec spec = Spec(3);
  spec.width = 0;
  spec.coverArt = true;  // a blue picture
  std::string file = Media("song.m4a", spec);
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  EXPECT_TRUE(WaitUntil([&] { return window.Pixel(160, 120).b > 200; }))
      << window.Pixel(160, 120);
  EXPECT_EQ(player_.stats().showMode, ShowVideo);
  EXPECT_EQ(player_.stats().picturesShown, 1);
}

TEST_F(PlaybackTest, PositionAdvancesThroughTheClip) {
  std::string file = Media("clip.mp4", Spec(6));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }));
  const int64_t shown = player_.stats().picturesShown;
  ExpectPlaysOnTo(5.5);
  EXPECT_GT(player_.stats().picturesShown, shown);
}

// A 4 s file started at 3 s: no picture before the start, and the first one
// within the key frames' spacing (0.48 s) after it. The pictures the player
// took from the file (shown or dropped) tell where it began, however late
// the test looked.
TEST_F(PlaybackTest, StartsAtTheStartPosition) {
  std::string file = Media("clip.mkv", SeekableSpec(4));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file, 3);
  double first = -1;
  ASSERT_TRUE(WaitUntil([&] {
    if (player_.stats().picturesShown == 0) return false;
    const double now = Position();
    if (first < 0) first = now;
    return now >= 3.9;
  }));
  EXPECT_GE(first, 3.0);
  const int64_t taken = Taken();
  EXPECT_LE(taken, 25) << "more pictures than the file holds after 3 s";
  EXPECT_GE(taken, 8) << "the first picture lies after 3.6 s";
}

TEST_F(PlaybackTest, PauseHoldsThePositionAndResumeContinues) {
  std::string file = Media("clip.mkv", SeekableSpec(8));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.5; }));
  Command(PauseRequested);
  ASSERT_TRUE(WaitForCommand(Paused));
  const double held = Position();
  const int64_t shown = player_.stats().picturesShown;
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(Position(), held);
  EXPECT_EQ(player_.stats().picturesShown, shown);

  Command(ResumeRequested);
  ASSERT_TRUE(WaitForCommand(Playing));
  ExpectPlaysOnTo(held + 1.0);
  EXPECT_GT(player_.stats().picturesShown, shown);
}

TEST_F(PlaybackTest, SeekWhilePausedShowsExactlyOneNewPicture) {
  std::string file = Media("clip.mkv", SeekableSpec(8));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.5; }));
  Command(PauseRequested);
  ASSERT_TRUE(WaitForCommand(Paused));
  std::this_thread::sleep_for(200ms);
  const int64_t shown = player_.stats().picturesShown;

  SeekTo(4);
  ASSERT_TRUE(WaitUntil([&] { return player_.stats().picturesShown > shown; }));
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(player_.stats().picturesShown, shown + 1);
  const double there = Position();
  EXPECT_GE(there, 4.0);
  EXPECT_LT(there, 4.6);
  EXPECT_EQ(player_.control().seekSeconds, 0);
  EXPECT_EQ(player_.control().command, Paused) << "the state a host shows";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Position(), there) << "still paused";
}

// Each player has its own handle; SDL allows one at a time per process, so an
// overlapping one is refused with a reason and the first plays on.
TEST_F(PlaybackTest, PlayersOfOneProcessHaveTheirOwnHandles) {
  std::string red = Media("red.mp4", Spec(8, "red"));
  std::string clip = Media("clip.mkv", SeekableSpec(8));
  TestWindow& first = OpenWindow(160, 120);
  TestWindow second(160, 120);
  ASSERT_TRUE(second.ok());
  Play(first, red);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }));
  Command(PauseRequested);
  ASSERT_TRUE(WaitForCommand(Paused));

  PlayerThread other;
  other.Start(second.id(), clip, 0);
  ASSERT_TRUE(WaitUntil([&] { return other.finished(); }));
  EXPECT_EQ(other.end().kind, PlayerEnd::Kind::CannotShow);
  EXPECT_NE(other.end().error, "");
  EXPECT_EQ(other.control().command, NoCommand) << "the other's state is its own";
  EXPECT_FALSE(player_.finished());
  EXPECT_EQ(player_.control().command, Paused);
  Command(ResumeRequested);
  const double resumed = Position();
  EXPECT_TRUE(WaitUntil([&] { return Position() > resumed + 0.3; })) << "plays on";

  player_.Stop();
  other.Start(second.id(), clip, 2);
  ASSERT_TRUE(WaitUntil([&] { return other.stats().picturesShown > 5; }));
  EXPECT_GE(other.control().positionSeconds, 2.0);
  EXPECT_EQ(player_.stats().picturesShown > 0, true) << "the first one's counts stay its own";
  other.Stop();  // before its window goes
  EXPECT_EQ(other.end().kind, PlayerEnd::Kind::Quit);
}

TEST_F(PlaybackTest, AFileThatCannotBePlayedEndsThePlayerWithItsReason) {
  const std::string garbage = path("noise.mp4");
  testsupport::WriteText(garbage, std::string(4096, 'z'));
  TestWindow& window = OpenWindow(160, 120);
  for (const std::string& file : {garbage, path("missing.mp4")}) {
    SCOPED_TRACE(file);
    Play(window, file);
    ASSERT_TRUE(WaitUntil([&] { return player_.finished(); })) << "no empty window";
    const PlayerEnd end = player_.end();
    EXPECT_EQ(end.kind, PlayerEnd::Kind::CannotOpen);
    EXPECT_NE(end.error.find(file), std::string::npos) << end.error;
  }
}

// The end is there once all 50 pictures of the file were taken (shown or
// dropped), however long that took.
TEST_F(PlaybackTest, EndOfFileKeepsTheLastPictureAndASeekPlaysAgain) {
  std::string file = Media("red.mp4", Spec(2, "red"));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return Taken() >= 50; })) << Taken() << " pictures taken";
  EXPECT_EQ(Taken(), 50);
  const double last = Position();
  const int64_t shown = player_.stats().picturesShown;
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Position(), last);
  EXPECT_EQ(player_.stats().picturesShown, shown);
  EXPECT_GE(last, 1.9);
  EXPECT_LT(last, 2.0);
  EXPECT_TRUE(window.Pixel(160, 120).Red()) << window.Pixel(160, 120);

  SeekTo(0);
  ASSERT_TRUE(WaitUntil([&] { return Position() < 1.0; }));
  ExpectPlaysOnTo(1.5);
  EXPECT_GT(player_.stats().picturesShown, shown) << "pictures shown again";
}

// A host's stop and the file's end pause the player by itself on the picture
// before them, told as Paused; a resume at the stop plays on past it, and a
// seek that plays starts towards the stop again.
TEST_F(PlaybackTest, PlayingPausesByItselfAtTheStopAndAtTheEnd) {
  std::string file = Media("clip.mkv", SeekableSpec(4));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  PlayerControl& control = player_.control();
  control.stopAtSeconds = 2.0;
  control.pauseAtEnd = true;
  ASSERT_TRUE(WaitForCommand(Paused));
  EXPECT_TRUE(control.stopped);
  const double stop = Position();
  EXPECT_GE(stop, 1.9);
  EXPECT_LT(stop, 2.0);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(Position(), stop) << "stays on the picture before the stop";

  Command(ResumeRequested);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 2.0; })) << "plays on past the stop";
  EXPECT_FALSE(control.stopped);
  ASSERT_TRUE(WaitForCommand(Paused));
  EXPECT_TRUE(control.stopped);
  EXPECT_GE(Position(), 3.9) << "at the end of the file";

  control.seekSeconds = 0;
  Command(SeekPlayRequested);
  ASSERT_TRUE(WaitUntil([&] { return Position() < 1.0; }));
  ASSERT_TRUE(WaitUntil([&] { return Position() >= 1.9 && control.command == Paused; }));
  EXPECT_LT(Position(), 2.0);

  // A seek that pauses shows the one picture there, whatever the player did.
  Command(ResumeRequested);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 2.1; }));
  const int64_t shown = player_.stats().picturesShown;
  control.seekSeconds = 1;
  Command(SeekPauseRequested);
  ASSERT_TRUE(WaitUntil([&] { return Position() < 2.0 && control.command == Paused; }));
  std::this_thread::sleep_for(500ms);
  EXPECT_GE(Position(), 1.0);
  EXPECT_LT(Position(), 1.6);
  EXPECT_LE(player_.stats().picturesShown, shown + 3) << "no playing after the seek";
}

TEST_F(PlaybackTest, SoundOnlyFileShowsTheSpectrum) {
  testsupport::MediaSpec spec = Spec(4);
  spec.width = 0;
  std::string file = Media("tone.m4a", spec);
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return player_.stats().showMode == ShowSpectrum; }));
  EXPECT_FALSE(player_.stats().videoOpen);
  EXPECT_TRUE(WaitUntil([&] { return window.LitPixels() > 20; })) << "the tone draws columns";
  const auto moving = window.Snapshot();
  EXPECT_TRUE(WaitUntil([&] { return window.Snapshot() != moving; })) << "new columns come";

  Command(PauseRequested);
  ASSERT_TRUE(WaitForCommand(Paused));
  // Once the server has drawn what came before the pause, nothing changes.
  auto paused = window.Snapshot();
  ASSERT_TRUE(WaitUntil([&] {
    std::this_thread::sleep_for(100ms);
    auto now = window.Snapshot();
    std::swap(now, paused);
    return now == paused;
  }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(window.Snapshot(), paused) << "paused: the same column is redrawn in place";
  EXPECT_EQ(Position(), 0.0) << "no picture, no position";
}

TEST_F(PlaybackTest, QuitWhilePausedOrSeekingEndsThePlayerAndItsThreads) {
  std::string file = Media("clip.mkv", SeekableSpec(8));
  for (bool seeking : {false, true}) {
    SCOPED_TRACE(seeking ? "seeking" : "paused");
    const int threadsBefore = ThreadCount();
    TestWindow& window = OpenWindow(320, 240);
    Play(window, file);
    ASSERT_TRUE(WaitUntil([&] { return Position() > 0.3; }));
    if (seeking) {
      SeekTo(5);
      std::this_thread::sleep_for(5ms);
    } else {
      Command(PauseRequested);
      ASSERT_TRUE(WaitForCommand(Paused));
    }
    Command(QuitRequested);
    EXPECT_TRUE(WaitUntil([&] { return player_.finished(); }));
    EXPECT_EQ(player_.end().kind, PlayerEnd::Kind::Quit);
    player_.Stop();
    EXPECT_EQ(ThreadCount(), threadsBefore) << "every thread joined";
  }
}

TEST_F(PlaybackTest, QuitWrittenRightAfterStartIsHonoured) {
  std::string file = Media("clip.mp4", Spec(3));
  TestWindow& window = OpenWindow(320, 240);
  Command(QuitRequested);  // left over from before: the start clears it
  Play(window, file);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(player_.finished());
  player_.Stop();

  Play(window, file);
  Command(QuitRequested);  // at once, while the player is still setting up
  EXPECT_TRUE(WaitUntil([&] { return player_.finished(); }));
  EXPECT_EQ(player_.end().kind, PlayerEnd::Kind::Quit);
}

// Pictures follow the sound clock: while the sound plays, pictures keep
// coming, each one measured against a running sound clock. How close the two
// stay is sync_bench's to measure: between the sound device's calls the sound
// clock runs on the wall clock, so a busy machine moves it.
TEST_F(PlaybackTest, PicturesKeepComingWhileTheSoundPlays) {
  std::string file = Media("long.mp4", Spec(12));
  TestWindow& window = OpenWindow(320, 240);
  Play(window, file);
  ASSERT_TRUE(WaitUntil([&] { return Position() > 1.0; }));
  EXPECT_TRUE(player_.stats().audioOpen);
  const int64_t samples = player_.stats().avDriftSamples;
  const int64_t shown = player_.stats().picturesShown;
  const int64_t taken = Taken();
  const double from = Position();
  ExpectPlaysOnTo(10.5);
  const double to = Position();
  const int64_t takenSince = Taken() - taken;
  const int64_t measured = player_.stats().avDriftSamples - samples;
  const int64_t shownSince = player_.stats().picturesShown - shown;
  EXPECT_GT(shownSince, 0);
  EXPECT_GE(measured + 2, shownSince) << "a measure per picture";
  // Every picture on the way was shown or dropped as late, none lost unseen.
  EXPECT_GE(takenSince + 1, std::llround((to - from) * 25));
}

// The preview program: its own window, keys for the control.
TEST_F(PlaybackTest, PreviewProgramPlaysAndQuitsOnQ) {
  std::string file = Media("red.mp4", Spec(3, "red"));
  TestWindow probe(1, 1);
  ASSERT_TRUE(probe.ok());
  std::atomic<int> exitCode{-1000};
  std::atomic<bool> exited{false};
  platform::Process process;
  std::thread runner([&] {
    std::string error;
    if (process.start({PELMAR_PREVIEW_PROGRAM, file}, {}, &error)) exitCode = process.wait();
    exited = true;
  });

  Display* display = probe.display();
  Window found = 0;
  WaitUntil(
      [&] {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count && !found; ++i) {
          char* name = nullptr;
          if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name) == "pelmar-preview: red.mp4") found = children[i];
            XFree(name);
          }
        }
        if (children) XFree(children);
        return found != 0;
      });
  ASSERT_NE(found, 0u) << "the program's window";
  EXPECT_TRUE(WaitUntil([&] { return probe.Read(found, 160, 120).Red(); }))
      << probe.Read(found, 160, 120);

  XKeyEvent key{};
  key.type = KeyPress;
  key.display = display;
  key.window = found;
  key.root = DefaultRootWindow(display);
  key.same_screen = True;
  key.keycode = XKeysymToKeycode(display, XK_q);
  XSendEvent(display, found, True, KeyPressMask, reinterpret_cast<XEvent*>(&key));
  XFlush(display);
  EXPECT_TRUE(WaitUntil([&] { return exited.load(); }));
  if (!exited) process.kill();
  runner.join();
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace player
