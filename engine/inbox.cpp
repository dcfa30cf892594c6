#include "engine/inbox.h"

#include <algorithm>

namespace engine {

Inbox::Inbox(std::function<void()> wakeup) : wakeup_(std::move(wakeup)) {}

Inbox::~Inbox() { Close(); }

void Inbox::post(int msg, void* wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    entries_.push_back({{msg, wParam, lParam}, 0});
  }
  cv_.notify_all();
  if (wakeup_) wakeup_();
}

void Inbox::send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) {
  long long id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    id = nextSendId_++;
    entries_.push_back({{msg, wParam, lParam}, id});
  }
  cv_.notify_all();
  if (wakeup_) wakeup_();
  std::unique_lock<std::mutex> lock(mutex_);
  // The cancel flag is set without our lock, so the wait looks at it often.
  while (!closed_ && !(cancel && cancel->load()) &&
         std::find(handled_.begin(), handled_.end(), id) == handled_.end())
    cv_.wait_for(lock, std::chrono::milliseconds(10));
  handled_.erase(std::remove(handled_.begin(), handled_.end(), id), handled_.end());
}

int Inbox::Drain(const Handler& handle) {
  int count = 0;
  for (;;) {
    Entry entry;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_ || entries_.empty()) return count;
      entry = entries_.front();
      entries_.pop_front();
    }
    handle(entry.message);
    ++count;
    if (entry.sendId) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        handled_.push_back(entry.sendId);
      }
      cv_.notify_all();
    }
  }
}

int Inbox::WaitAndDrain(int waitMs, const Handler& handle) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(waitMs),
                 [this] { return closed_ || !entries_.empty(); });
  }
  return Drain(handle);
}

void Inbox::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    entries_.clear();
  }
  cv_.notify_all();
}

bool Inbox::Closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

}  // namespace engine
