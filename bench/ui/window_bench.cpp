// The main window with many files: the real CMainFrame with the built skin on
// the offscreen platform, in a private HOME/XDG/TMPDIR. Measures the resident
// memory once every file is analysed (covers included) and the lateness of a
// 10 ms timer on the window's thread while the files are analysed and while
// the list converts, each against the same window with no files.
//
//   build/bench/ui/window_bench [--files=500] [--convert-seconds=20]
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "engine/video_item.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "tests/support/media.h"
#include "ui/main_frame.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTickMs = 10;

double MsSince(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// A fresh folder with HOME, the XDG folders and TMPDIR inside, so the window
// never reads or writes the real user's files.
class PrivateFolders {
 public:
  bool Make() {
    const char* t = getenv("TMPDIR");
    std::string pattern = std::string(t && t[0] == '/' ? t : "/tmp") + "/pelmar-window-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) return false;
    root_ = pattern;
    for (const std::string& dir : {home(), home() + "/.local/share", home() + "/.config",
                                   home() + "/.cache", home() + "/Documents", root_ + "/tmp",
                                   root_ + "/etc", installDir(), mediaDir()})
      if (!platform::CreateFolders(dir)) return false;
    if (!platform::CreateFolders(root_ + "/run", 0700)) return false;
    setenv("HOME", home().c_str(), 1);
    setenv("XDG_DATA_HOME", (home() + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home() + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home() + "/.cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ + "/run").c_str(), 1);
    setenv("TMPDIR", (root_ + "/tmp").c_str(), 1);
    setenv("PELMAR_MACHINE_REGISTRY", (root_ + "/etc/registry.ini").c_str(), 1);
    return true;
  }
  ~PrivateFolders() {
    if (!root_.empty()) platform::RemoveTree(root_);
  }

  std::string home() const { return root_ + "/home"; }
  std::string installDir() const { return root_ + "/install"; }
  std::string mediaDir() const { return root_ + "/media"; }

 private:
  std::string root_;
};

// Resident and peak resident memory of this process, in MiB.
struct Memory {
  double rss = 0, peak = 0;
};
Memory ReadMemory() {
  Memory m;
  std::string status;
  if (!platform::ReadFile("/proc/self/status", &status)) return m;
  auto field = [&status](const char* name) {
    size_t at = status.find(name);
    return at == std::string::npos ? 0.0 : atof(status.c_str() + at + strlen(name)) / 1024.0;
  };
  m.rss = field("VmRSS:");
  m.peak = field("VmHWM:");
  return m;
}

// A timer on the window's thread every kTickMs; each firing notes how much
// later than kTickMs after the previous one it came.
class LatenessProbe {
 public:
  LatenessProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const Clock::time_point now = Clock::now();
      lateness_.push_back(std::chrono::duration<double, std::milli>(now - last_).count() - kTickMs);
      last_ = now;
    });
  }
  void Start() {
    lateness_.clear();
    last_ = Clock::now();
    timer_.start();
  }
  void Stop() { timer_.stop(); }

  struct Figures {
    size_t samples = 0;
    double p99 = 0, max = 0;
  };
  Figures Result() const {
    Figures f;
    f.samples = lateness_.size();
    if (lateness_.empty()) return f;
    std::vector<double> sorted = lateness_;
    std::sort(sorted.begin(), sorted.end());
    f.p99 = std::max(0.0, sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)]);
    f.max = std::max(0.0, sorted.back());
    return f;
  }

 private:
  QTimer timer_;
  Clock::time_point last_;
  std::vector<double> lateness_;
};

// Runs the event loop until done() holds (checked every 50 ms) or the time is
// up; false on time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool met = false;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if ((met = done()) || Clock::now() > end) loop.quit();
  });
  check.start(50);
  loop.exec();
  return met;
}

void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int Arg(int argc, char** argv, const char* name, int fallback) {
  const size_t n = strlen(name);
  for (int i = 1; i < argc; ++i)
    if (strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') return atoi(argv[i] + n + 1);
  return fallback;
}

// One short clip under `count` names (hard links, else copies).
bool MakeFiles(const std::string& dir, int count, std::vector<std::string>* files) {
  const std::string clip = dir + "/clip.mp4";
  const std::string why = testsupport::MakeMedia(clip, testsupport::Clip(8.0, 640, 360));
  if (!why.empty()) {
    fprintf(stderr, "cannot make the clip: %s\n", why.c_str());
    return false;
  }
  std::string content;
  for (int i = 0; i < count; ++i) {
    char name[64];
    snprintf(name, sizeof name, "/clip %03d.mp4", i);
    const std::string file = dir + name;
    if (link(clip.c_str(), file.c_str()) != 0) {
      if (content.empty() && !platform::ReadFile(clip, &content)) return false;
      if (!platform::WriteFileAtomic(file, content)) return false;
    }
    files->push_back(file);
  }
  return true;
}

std::string Ratio(double value, double reference) {
  if (reference <= 0) return "-";
  char text[32];
  snprintf(text, sizeof text, "%.2f", value / reference);
  return text;
}

void Row(const char* figure, double value, const char* unit, const char* goal, double reference) {
  printf("%-34s %9.1f %-3s %-10s %9.1f %-3s %8s\n", figure, value, unit, goal, reference, unit,
         Ratio(value, reference).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int files = std::max(1, Arg(argc, argv, "--files", 500));
  const int convertSeconds = std::max(1, Arg(argc, argv, "--convert-seconds", 20));
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  PrivateFolders folders;
  if (!folders.Make()) {
    fprintf(stderr, "cannot make the private folders\n");
    return 1;
  }
  for (const char* dir : {"language", "skin", "help"})
    if (symlink((std::string(PELMAR_BIN_DIR) + "/" + dir).c_str(),
                (folders.installDir() + "/" + dir).c_str()) != 0) {
      perror("symlink");
      return 1;
    }
  std::vector<std::string> paths;
  if (!MakeFiles(folders.mediaDir(), files, &paths)) return 1;

  QApplication application(argc, argv);
  app::AppPaths appPaths = app::AppPaths::Build(folders.installDir() + "/pelmar-video-converter");
  appPaths.CreateDataDir();
  app::SetPaths(appPaths);
  app::SetCurrentLanguageId(1252);
  app::Settings().Read(appPaths);
  app::Oem().Read(appPaths);
  if (!app::SelectSkinArchive(1252, appPaths.installDir, &app::Oem()) ||
      !app::UseSelectedSkinArchive()) {
    fprintf(stderr, "no skin archive in %s (build skin_archives and language_files)\n",
            PELMAR_BIN_DIR);
    return 1;
  }
  // The help page of the first start is not opened.
  app::SetAddressOpener([](const QString&) { return true; });

  // The window as the program opens it.
  auto* frame = new ui::CMainFrame;
  if (!frame->Create()) {
    fprintf(stderr, "the main window cannot be built\n");
    return 1;
  }
  frame->resize(1000, 680);
  frame->CenterWindow();
  frame->show();
  RunFor(1000);

  // Reference: the window with no files.
  LatenessProbe probe;
  probe.Start();
  RunFor(5000);
  probe.Stop();
  const LatenessProbe::Figures idle = probe.Result();
  const Memory empty = ReadMemory();

  // A drop of every file at once, then their analysis.
  auto& items = frame->Items(engine::ConvertKind::Video);
  double addMs = -1;
  Memory rowsOnly;
  const Clock::time_point dropped = Clock::now();
  probe.Start();
  QTimer::singleShot(0, frame, [&] {
    const Clock::time_point t = Clock::now();
    frame->AddFiles(paths);
    addMs = MsSince(t);
    rowsOnly = ReadMemory();
  });
  const bool analysed = RunUntil(
      [&] {
        if (addMs < 0 || items.size() != paths.size()) return false;
        return std::all_of(items.begin(), items.end(), [](const engine::ItemPtr& item) {
          return item->analysed.load();
        });
      },
      30 * 60 * 1000);
  probe.Stop();
  const double analysisSeconds = MsSince(dropped) / 1000.0;
  const LatenessProbe::Figures analysing = probe.Result();
  int covers = 0;
  for (const engine::ItemPtr& item : items)
    covers += !item->coverPath.empty() && platform::FileExists(item->coverPath) ? 1 : 0;

  // The full window at rest.
  probe.Start();
  RunFor(3000);
  probe.Stop();
  const LatenessProbe::Figures idleFull = probe.Result();
  const Memory full = ReadMemory();

  // The list converts (one item at a time, the others waiting) for a while.
  double startMs = -1;
  probe.Start();
  QTimer::singleShot(0, frame, [&] {
    const Clock::time_point t = Clock::now();
    frame->StartList();
    startMs = MsSince(t);
  });
  RunFor(convertSeconds * 1000);
  probe.Stop();
  const LatenessProbe::Figures converting = probe.Result();
  int done = 0, failed = 0;
  for (const engine::ItemPtr& item : items) {
    const engine::ItemState s = item->state.load();
    done += s == engine::ItemState::Done ? 1 : 0;
    failed += s == engine::ItemState::Failed ? 1 : 0;
  }
  Clock::time_point t = Clock::now();
  frame->Teardown();
  const double teardownMs = MsSince(t);
  delete frame;
  app::ReleaseSkinArchive();

  printf("window with %d files of an 8 s 640x360 clip, %s platform\n", files,
         getenv("QT_QPA_PLATFORM"));
  printf("%-34s %13s %-10s %13s %8s\n", "figure", "value", "goal", "reference", "ratio");
  Row("resident memory, files analysed", full.rss, "MiB", "<= 300 MiB", empty.rss);
  Row("  rows added, before analysis", rowsOnly.rss, "MiB", "", empty.rss);
  Row("  peak resident", full.peak, "MiB", "", empty.peak);
  Row("timer lateness p99, analysis", analysing.p99, "ms", "<= 50 ms", idle.p99);
  Row("timer lateness max, analysis", analysing.max, "ms", "", idle.max);
  Row("timer lateness p99, converting", converting.p99, "ms", "<= 50 ms", idle.p99);
  Row("timer lateness max, converting", converting.max, "ms", "", idle.max);
  Row("timer lateness p99, rows at rest", idleFull.p99, "ms", "", idle.p99);
  Row("timer lateness max, rows at rest", idleFull.max, "ms", "", idle.max);
  printf("reference: the same window with no files (timer %zu ticks over 5 s)\n", idle.samples);
  printf("AddFiles of %d paths: %.0f ms; all analysed after %.1f s (%s), covers %d/%d\n", files,
         addMs, analysisSeconds, analysed ? "all" : "TIMED OUT", covers, files);
  printf("StartList: %.0f ms; after %d s: %d done, %d failed; Teardown: %.0f ms\n", startMs,
         convertSeconds, done, failed, teardownMs);
  return analysed ? 0 : 1;
}
