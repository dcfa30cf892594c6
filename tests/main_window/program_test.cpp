// The real window program under a virtual display: it shows a window that is
// not blank, a second start hands over to the first and ends, files from
// outside reach the first window's video list, and its start removes what
// killed runs left behind.
// gtest and Qt first: X11 defines macros (None, Bool) that their headers use as names.
#include "tests/support/sandbox.h"

#include <QCoreApplication>
#include <QLocalSocket>

#include "ui/instance_request.h"
#include "ui/startup.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include "tests/support/x_window.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "app/core/app_paths.h"
#include "engine/run_records.h"
#include "engine/temp_output.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/other_user.h"

namespace {

using ui::InstanceMessage;

// Long enough for any machine, however busy: only a program that never does
// what the test waits for reaches it.
constexpr std::chrono::seconds kHung{60};
constexpr int kHungMs = 60000;

using testsupport::FindWindowNamed;

// How many colours a sample of the window's pixels holds.
size_t ColoursOf(Display* display, Window window) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, window, &a)) return 0;
  XImage* image = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return 0;
  std::set<unsigned long> colours;
  for (int y = 0; y < a.height; y += 3)
    for (int x = 0; x < a.width; x += 3) colours.insert(XGetPixel(image, x, y));
  XDestroyImage(image);
  return colours.size();
}

// The files of the running window's video list; empty when no window answers.
std::vector<std::string> VideoListFiles() {
  InstanceMessage answer;
  ui::AskRunningInstance(ui::InstanceName(), {ui::kVerbList, {}}, &answer, kHungMs);
  return answer.items;
}

// Asks until the video list holds `expected`; *last is the last answer.
bool WaitForVideoList(const std::vector<std::string>& expected, std::vector<std::string>* last) {
  auto end = std::chrono::steady_clock::now() + kHung;
  while ((*last = VideoListFiles()) != expected) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& i : items) out += "[" + i + "] ";
  return out;
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
  bool Start(platform::Process& p, const std::vector<std::string>& args = {},
             const std::string& workDir = {}) {
    platform::ProcessOptions options;
    options.stderrFile = path("program.log");
    options.workDir = workDir;
    std::vector<std::string> argv = {PELMAR_WINDOW_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return p.start(argv, options);
  }
  // A later start, which must hand over and end: its exit code.
  int StartAgain(const std::vector<std::string>& args = {}) {
    platform::Process second;
    if (!Start(second, args)) return -1;
    std::atomic<bool> ended{false};
    std::thread guard([&second, &ended] {
      // A second start that stayed would hang the test: end it, then the
      // exit code tells it did not hand over.
      const auto end = std::chrono::steady_clock::now() + kHung;
      while (!ended && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!ended) second.kill();
    });
    int code = second.wait();
    ended = true;
    guard.join();
    return code;
  }
  std::string Log() { return testsupport::ReadText(path("program.log")); }
};

TEST_F(WindowProgramTest, ShowsAWindowThatIsNotBlank) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "run on a display (tests/support/with-xvfb.sh)";
  platform::Process program;
  ASSERT_TRUE(Start(program));
  Window window = 0;
  auto end = std::chrono::steady_clock::now() + kHung;
  while (!window && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    window = FindWindowNamed(display, DefaultRootWindow(display), "Pelmar");
  }
  ASSERT_NE(window, 0u) << Log();
  // Painting takes a moment after the window is mapped.
  size_t colours = 0;
  end = std::chrono::steady_clock::now() + kHung;
  while ((colours = ColoursOf(display, window)) <= 20u && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_GT(colours, 20u) << "a blank window";
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(display, window, &a));
  EXPECT_GE(a.width, 600);

  // A second start raises the first one and ends at once.
  EXPECT_EQ(StartAgain(), 0) << "the second start did not hand over";

  // "/uninstall" is heard even with the program open: the running window closes.
  platform::ProcessOptions options;
  options.stderrFile = path("uninstall.log");
  EXPECT_EQ(platform::RunAndWait({PELMAR_WINDOW_PROGRAM, "/uninstall"}, options), 0);
  auto closeBy = std::chrono::steady_clock::now() + kHung;
  while (FindWindowNamed(display, DefaultRootWindow(display), "Pelmar") &&
         std::chrono::steady_clock::now() < closeBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(FindWindowNamed(display, DefaultRootWindow(display), "Pelmar"), 0u);
  program.kill();
  program.wait();
  XCloseDisplay(display);
}

TEST_F(WindowProgramTest, FilesFromOutsideReachTheVideoList) {
  int argc = 1;
  char name[] = "window_program_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication qt(argc, argv);  // for the local socket
  const std::string media = path("media");
  platform::CreateFolders(media);
  const std::string first = media + "/first clip.mp4";
  const std::string second = media + "/two\nlines.mkv";
  const std::string third = media + "/third.avi";
  for (const std::string& file : {first, second, third})
    ASSERT_EQ(testsupport::MakeMedia(file, testsupport::Clip(1, 160, 120)), "");

  // The first start opens its file, named relative to its starting folder.
  platform::Process program;
  ASSERT_TRUE(Start(program, {"first clip.mp4"}, media));
  std::vector<std::string> files;
  EXPECT_TRUE(WaitForVideoList({first}, &files)) << Joined(files) << Log();

  // A later start hands its files over and ends; what is not a file stays
  // behind. It makes none of the program's folders (given fresh ones here).
  const std::string freshTmp = path("later/tmp"), freshConfig = path("later/config");
  platform::CreateFolders(freshTmp);
  platform::CreateFolders(freshConfig);
  setenv("TMPDIR", freshTmp.c_str(), 1);
  setenv("XDG_CONFIG_HOME", freshConfig.c_str(), 1);
  EXPECT_EQ(StartAgain({second, media + "/missing.mp4"}), 0);
  setenv("TMPDIR", sandbox().tmp().c_str(), 1);
  setenv("XDG_CONFIG_HOME", sandbox().configHome().c_str(), 1);
  EXPECT_TRUE(WaitForVideoList({first, second}, &files)) << Joined(files) << Log();
  for (const std::string& folder : {freshTmp, freshConfig})
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      EXPECT_EQ(entry.path().filename().string().find("Pelmar"), std::string::npos)
          << entry.path() << " made by a start that handed over";

  // A request that comes in two pieces is read whole.
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(QString::fromStdString(ui::InstanceName()));
  ASSERT_TRUE(socket.waitForConnected(kHungMs));
  const std::string request = ui::EncodeInstanceMessage({ui::kVerbOpen, {third}});
  const size_t half = request.size() / 2;
  socket.write(request.data(), static_cast<qint64>(half));
  ASSERT_TRUE(socket.waitForBytesWritten(kHungMs));
  // A request served meanwhile: the window has had its turn to read the first piece.
  EXPECT_EQ(VideoListFiles(), (std::vector<std::string>{first, second}));
  socket.write(request.data() + half, static_cast<qint64>(request.size() - half));
  ASSERT_TRUE(socket.waitForBytesWritten(kHungMs)) << "the window dropped the first piece";
  std::string got;
  InstanceMessage answer;
  size_t used = 0;
  while (ui::DecodeInstanceMessage(got, &answer, &used) == ui::DecodeResult::Incomplete &&
         socket.waitForReadyRead(kHungMs))
    got += socket.readAll().toStdString();
  EXPECT_EQ(answer.verb, ui::kAnswerOk);
  EXPECT_TRUE(WaitForVideoList({first, second, third}, &files)) << Joined(files) << Log();

  program.kill();
  program.wait();
}

TEST_F(WindowProgramTest, AMissingSkinSaysSoAndOpensNoWindow) {
  // A copy of the program in an install folder that has its languages but no skins.
  std::string install = sandbox().installDir();
  std::string program = install + "/pelmar-video-converter";
  std::string bin = platform::ParentDir(PELMAR_WINDOW_PROGRAM);
  ASSERT_EQ(platform::RunAndWait({"cp", "-r", bin + "/language", install + "/"}), 0);
  ASSERT_EQ(platform::RunAndWait({"cp", PELMAR_WINDOW_PROGRAM, program}), 0);

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "run on a display (tests/support/with-xvfb.sh)";
  platform::Process process;
  platform::ProcessOptions options;
  options.stderrFile = path("program.log");
  ASSERT_TRUE(process.start({program}, options));
  Window box = 0;
  auto end = std::chrono::steady_clock::now() + kHung;
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

// The id of a process that has ended.
int EndedPid() {
  platform::Process p;
  EXPECT_TRUE(p.start({"true"}, {}));
  const int pid = p.pid();
  p.wait();
  return pid;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(WindowProgramTest, ItsStartRemovesWhatKilledRunsLeftAndNothingElse) {
  int argc = 1;
  char name[] = "window_program_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication qt(argc, argv);  // for the local socket
  // The program's folders in this sandbox, as the program finds them.
  app::AppPaths paths = app::AppPaths::Build(PELMAR_WINDOW_PROGRAM);
  paths.CreateDataDir();
  const engine::EngineDirs dirs = engine::EngineDirs::ForApp(paths);
  const std::string videos = path("videos") + "/";
  for (const std::string& folder : {videos, dirs.running, dirs.scratch, dirs.log})
    ASSERT_TRUE(platform::CreateFolders(folder)) << folder;
  testsupport::WriteText(videos + "clip.mp4", "the user's");
  testsupport::WriteText(dirs.scratch + "notes.txt", "the user's");

  // A conversion that goes on (this process's): its output and record stay.
  engine::TempOutput live;
  std::string error;
  ASSERT_TRUE(live.Create(videos, "mp4", dirs.running, &error)) << error;
  testsupport::WriteText(live.WritePath(), "converting");
  const std::vector<std::string> liveRecords = Entries(dirs.running);
  ASSERT_FALSE(liveRecords.empty());

  // What a killed conversion leaves: its private output folder with a
  // half-written file, and its record, which no process holds any more.
  const std::string ended = std::to_string(EndedPid());
  const std::string killed = videos + engine::kTempOutputPrefix + "0123456789abcdef";
  ASSERT_TRUE(platform::CreateFolders(killed));
  testsupport::WriteText(killed + "/out.mkv", "half");
  const std::string killedRecord = "out-" + ended + "-1-0";
  testsupport::WriteText(dirs.running + killedRecord, killed + "\n");
  // What a killed window leaves in its shared folders: a merge part and a
  // progress file.
  testsupport::WriteText(dirs.scratch + "merge_3_4.mp4", "part");
  testsupport::WriteText(dirs.log + "3_4_7", "progress=continue\n");

  // Requests are answered once the window is made, after its start's
  // clean-up (the socket listens before: being heard is not enough).
  platform::Process program;
  ASSERT_TRUE(Start(program));
  auto answers = [] {
    InstanceMessage answer;
    ui::AskRunningInstance(ui::InstanceName(), {ui::kVerbList, {}}, &answer, 5000);
    return answer.verb == ui::kAnswerOk;
  };
  bool up = false;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(up = answers()) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(up) << "no window came up: " << Log();

  EXPECT_FALSE(platform::FileExists(killed));
  const std::vector<std::string> records = Entries(dirs.running);
  EXPECT_EQ(std::count(records.begin(), records.end(), killedRecord), 0);
  for (const std::string& record : liveRecords)
    EXPECT_EQ(std::count(records.begin(), records.end(), record), 1) << record;
  EXPECT_FALSE(platform::FileExists(dirs.scratch + "merge_3_4.mp4"));
  EXPECT_FALSE(platform::FileExists(dirs.log + "3_4_7"));
  EXPECT_EQ(testsupport::ReadText(live.ShownPath()), "converting");
  std::vector<std::string> kept = {"clip.mp4",
                                   platform::FileNameOf(platform::ParentDir(live.ShownPath()))};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Entries(videos), kept);
  EXPECT_EQ(testsupport::ReadText(videos + "clip.mp4"), "the user's");
  EXPECT_EQ(testsupport::ReadText(dirs.scratch + "notes.txt"), "the user's");

  program.kill();
  program.wait();
  live.Discard();
}

// Connects to the abstract socket `name` as the calling process, sends
// `request` whole and reads until the other end closes (or, for a window that
// never does, until kHung).
// Returns "" when nothing came back, else what came back or what went wrong.
std::string TalkToSocket(const std::string& name, const std::string& request) {
  for (bool padded : {false, true}) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "socket: " + std::string(strerror(errno));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() + 1 > sizeof address.sun_path) return "the name is too long";
    memcpy(address.sun_path + 1, name.data(), name.size());  // sun_path[0] == 0: abstract
    const socklen_t size = padded ? socklen_t(sizeof address)
                                  : socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
      close(fd);
      continue;  // the other way of spelling the name
    }
    if (write(fd, request.data(), request.size()) != ssize_t(request.size())) {
      // Cut off before the request was whole: nothing was taken.
      close(fd);
      return "";
    }
    std::string answer;
    pollfd p{fd, POLLIN, 0};
    char buffer[256];
    while (poll(&p, 1, kHungMs) > 0) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      answer.append(buffer, size_t(n));
    }
    close(fd);
    return answer;
  }
  return "no window listens on " + name;
}

TEST_F(WindowProgramTest, RequestsOfAnotherUserAreIgnored) {
  if (!testsupport::CanActAsAnotherUser()) GTEST_SKIP() << "needs root to act as another user";
  int argc = 1;
  char name[] = "window_program_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication qt(argc, argv);  // for the local socket
  const std::string media = path("media");
  platform::CreateFolders(media);
  const std::string mine = media + "/mine.mp4", theirs = media + "/theirs.mp4";
  for (const std::string& file : {mine, theirs})
    ASSERT_EQ(testsupport::MakeMedia(file, testsupport::Clip(1, 160, 120)), "");
  platform::Process program;
  ASSERT_TRUE(Start(program, {mine}));
  std::vector<std::string> files;
  ASSERT_TRUE(WaitForVideoList({mine}, &files)) << Joined(files) << Log();

  // Another user finds the name (it is no secret) and asks the window to
  // take a file, to close, and for its list: no answer, nothing done.
  const std::string socketName = ui::InstanceName();
  for (const InstanceMessage& request :
       {InstanceMessage{ui::kVerbOpen, {theirs}}, InstanceMessage{ui::kVerbClose, {}},
        InstanceMessage{ui::kVerbList, {}}}) {
    const std::string data = ui::EncodeInstanceMessage(request);
    EXPECT_EQ(testsupport::RunUnprivileged([&] { return TalkToSocket(socketName, data); }), "")
        << request.verb;
  }
  // The window is still there with its own list, and it still answers its
  // own user: the same talk as this user is heard.
  EXPECT_EQ(VideoListFiles(), std::vector<std::string>{mine}) << Log();
  const std::string answer = TalkToSocket(socketName, ui::EncodeInstanceMessage({ui::kVerbList, {}}));
  EXPECT_EQ(answer.rfind(ui::kAnswerOk, 0), 0u) << answer;
  EXPECT_NE(answer.find(mine), std::string::npos) << answer;

  program.kill();
  program.wait();
}

}  // namespace
