// Shared pieces of the engine tests: a message recorder standing in for the
// window, and a fixture with the program's folders inside the sandbox.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/app_paths.h"
#include "engine/messages.h"
#include "engine/work_dirs.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace enginetest {

struct Message {
  int msg;
  void* wParam;
  intptr_t lParam;
};

// Thread-safe list of what the engine posted and sent.
class Recorder : public engine::NotifyTarget {
 public:
  void post(int msg, void* wParam, intptr_t lParam) override;
  // Records; while sends are held, waits until released or cancelled.
  void send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) override;

  void HoldSends(bool hold);
  void Clear();
  std::vector<Message> Messages() const;
  int Count(int msg, const void* wParam = nullptr) const;
  // Waits until pred holds for the messages so far; false on time-out.
  bool WaitUntil(const std::function<bool(const std::vector<Message>&)>& pred,
                 std::chrono::milliseconds limit = std::chrono::seconds(60)) const;
  bool WaitFor(int msg, const void* wParam, std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<Message> messages_;
  bool hold_ = false;
};

class EngineTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A small real media file in the sandbox; fails the test when it cannot be made.
  std::string Media(const std::string& name, const testsupport::MediaSpec& spec);
  std::string Media(const std::string& name);

  app::AppPaths paths_;
  engine::EngineDirs dirs_;
  std::string out_;  // the output folder, ends with '/'
};

// An "ffmpeg" put in front of the real one on PATH (the engine looks the
// transcoder up at each run) for as long as the watch lives. It notes every
// conversion it starts (a run with -progress; covers are left alone) and
// whether another conversion was still alive at that moment: each holds a
// lock on a shared file until its process ends. It sets PATH: make it before
// any engine thread runs and let it go after they have ended.
class TranscoderWatch {
 public:
  explicit TranscoderWatch(const std::string& dir);
  ~TranscoderWatch();
  TranscoderWatch(const TranscoderWatch&) = delete;
  TranscoderWatch& operator=(const TranscoderWatch&) = delete;

  int Started() const;
  // Conversions that started while another one was alive.
  int Overlaps() const;

 private:
  int Count(const std::string& word) const;
  std::string dir_;
  std::string oldPath_;
};

// The ffmpeg processes that are children of this process, and their number.
std::vector<int> ChildTranscoderPids();
int ChildTranscoders();

using testsupport::FolderEntries;

}  // namespace enginetest
