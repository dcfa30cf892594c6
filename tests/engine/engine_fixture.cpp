#include "tests/engine/engine_fixture.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/timing.h"
#include "platform/files.h"
#include "tests/support/media.h"

namespace enginetest {

void Recorder::post(int msg, void* wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({msg, wParam, lParam});
  }
  cv_.notify_all();
}

void Recorder::send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) {
  std::unique_lock<std::mutex> lock(mutex_);
  messages_.push_back({msg, wParam, lParam});
  cv_.notify_all();
  while (hold_ && !(cancel && cancel->load()))
    cv_.wait_for(lock, std::chrono::milliseconds(10));
}

void Recorder::HoldSends(bool hold) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = hold;
  }
  cv_.notify_all();
}

void Recorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}

std::vector<Message> Recorder::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

int Recorder::Count(int msg, const void* wParam) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const Message& m : messages_)
    if (m.msg == msg && (!wParam || m.wParam == wParam)) ++n;
  return n;
}

bool Recorder::WaitUntil(const std::function<bool(const std::vector<Message>&)>& pred,
                         std::chrono::milliseconds limit) const {
  // Polled as well: some conditions change without a message (an item's flags).
  auto end = std::chrono::steady_clock::now() + limit;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!pred(messages_)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    cv_.wait_for(lock, std::chrono::milliseconds(20));
  }
  return true;
}

bool Recorder::WaitFor(int msg, const void* wParam, std::chrono::milliseconds limit) const {
  return WaitUntil(
      [&](const std::vector<Message>& list) {
        for (const Message& m : list)
          if (m.msg == msg && (!wParam || m.wParam == wParam)) return true;
        return false;
      },
      limit);
}

void EngineTest::SetUp() {
  SandboxTest::SetUp();
  paths_ = app::AppPaths::Build(sandbox().programPath());
  paths_.CreateDataDir();
  app::SetPaths(paths_);
  dirs_ = engine::EngineDirs::ForApp(paths_);
  out_ = path("out") + "/";
  platform::CreateFolders(out_);
  engine::Timing().analysisPoll = std::chrono::milliseconds(10);
  engine::Timing().progressPoll = std::chrono::milliseconds(100);
}

void EngineTest::TearDown() {
  engine::Timing() = engine::EngineTiming();
  SandboxTest::TearDown();
}

std::string EngineTest::Media(const std::string& name, const testsupport::MediaSpec& spec) {
  std::string file = path(name);
  std::string why = testsupport::MakeMedia(file, spec);
  EXPECT_EQ(why, "") << "making " << name;
  return file;
}

std::string EngineTest::Media(const std::string& name) { return Media(name, {}); }

TranscoderWatch::TranscoderWatch(const std::string& dir) : dir_(dir) {
  const char* path = getenv("PATH");
  oldPath_ = path ? path : "";
  platform::CreateFolders(dir_);
  const std::string real = testsupport::FfmpegPath();
  EXPECT_NE(real, "");
  testsupport::WriteText(dir_ + "/ffmpeg",
                         "#!/bin/sh\n"
                         "case \" $* \" in\n"
                         "  *\" -progress \"*)\n"
                         "    exec 9>>'" + dir_ + "/lock'\n"
                         "    flock -n 9 || echo overlap >>'" + dir_ + "/log'\n"
                         "    echo start >>'" + dir_ + "/log'\n"
                         "    ;;\n"
                         "esac\n"
                         "exec '" + real + "' \"$@\"\n");
  chmod((dir_ + "/ffmpeg").c_str(), 0755);
  setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
}

TranscoderWatch::~TranscoderWatch() { setenv("PATH", oldPath_.c_str(), 1); }

int TranscoderWatch::Count(const std::string& word) const {
  const std::string log = testsupport::ReadText(dir_ + "/log");
  int n = 0;
  for (size_t at = log.find(word + "\n"); at != std::string::npos;
       at = log.find(word + "\n", at + 1))
    ++n;
  return n;
}

int TranscoderWatch::Started() const { return Count("start"); }
int TranscoderWatch::Overlaps() const { return Count("overlap"); }

std::vector<int> ChildTranscoderPids() {
  std::vector<int> pids;
  const std::string self = std::to_string(getpid());
  DIR* proc = opendir("/proc");
  if (!proc) return pids;
  while (dirent* e = readdir(proc)) {
    std::string pid = e->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat;
    if (!platform::ReadFile("/proc/" + pid + "/stat", &stat, 4096)) continue;
    size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::string comm = stat.substr(open + 1, close - open - 1);
    // Fields after the name: state, then the parent's id.
    std::string rest = stat.substr(close + 2);
    size_t sp = rest.find(' ');
    std::string ppid = rest.substr(sp + 1, rest.find(' ', sp + 1) - sp - 1);
    if (comm == "ffmpeg" && ppid == self && rest[0] != 'Z') pids.push_back(std::stoi(pid));
  }
  closedir(proc);
  return pids;
}

int ChildTranscoders() { return static_cast<int>(ChildTranscoderPids().size()); }

}  // namespace enginetest
