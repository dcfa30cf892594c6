#include "platform/event.h"

namespace platform {

void Event::set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool Event::isSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

void Event::wait() const {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return set_; });
}

bool Event::waitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return set_; });
}

}  // namespace platform
