// What every wait of a job's threads watches: the stop request and the end
// of the runner. A stop ends every wait at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/event.h"

namespace engine {

class RunSignals {
 public:
  void RequestStop();
  bool StopRequested() const { return stop_.load(); }
  const std::atomic<bool>& StopFlag() const { return stop_; }

  void MarkRunnerEnded();
  const platform::Event& RunnerEnded() const { return runnerEnded_; }

  // Sleeps the time unless a stop comes first; false when stopped.
  bool Sleep(std::chrono::milliseconds time);
  // The same, also cut short by the runner's end.
  bool Poll(std::chrono::milliseconds time);
  // Sleeps the time unless a stop comes first or `done` holds (checked at
  // each Wake()); false when stopped.
  bool SleepUnless(std::chrono::milliseconds time, const std::function<bool()>& done);
  // Lets the sleepers look at their conditions again.
  void Wake();

 private:
  std::atomic<bool> stop_{false};
  platform::Event runnerEnded_;
  std::mutex mutex_;
  std::condition_variable cv_;
};

}  // namespace engine
