#include "engine/run_signals.h"

namespace engine {

void RunSignals::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
}

void RunSignals::MarkRunnerEnded() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    runnerEnded_.set();
  }
  cv_.notify_all();
}

bool RunSignals::Sleep(std::chrono::milliseconds time) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !cv_.wait_for(lock, time, [this] { return stop_.load(); });
}

bool RunSignals::Poll(std::chrono::milliseconds time) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, time, [this] { return stop_.load() || runnerEnded_.isSet(); });
  return !stop_.load();
}

bool RunSignals::SleepUnless(std::chrono::milliseconds time, const std::function<bool()>& done) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, time, [&] { return stop_.load() || done(); });
  return !stop_.load();
}

void RunSignals::Wake() {
  // Under the lock, so that a sleeper between its check and its wait still hears it.
  { std::lock_guard<std::mutex> lock(mutex_); }
  cv_.notify_all();
}

}  // namespace engine
