// A manual-reset event: stays set until reset, wakes every waiter.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  explicit Event(bool initiallySet = false) : set_(initiallySet) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  bool isSet() const;
  void wait() const;
  // True when the event was set within the time.
  bool waitFor(std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  bool set_;
};

}  // namespace platform
