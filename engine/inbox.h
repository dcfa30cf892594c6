// Engine messages for an owner that handles them on its own thread: workers
// post or send into the inbox, the owner drains it. A window asks to be woken
// (its event loop then drains); a terminal program waits on the inbox.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/messages.h"

namespace engine {

struct InboxMessage {
  int msg = 0;
  void* wParam = nullptr;
  intptr_t lParam = 0;
};

class Inbox : public NotifyTarget {
 public:
  using Handler = std::function<void(const InboxMessage&)>;

  // wakeup runs on the sender's thread after every post and send; it must
  // only schedule a Drain on the owner's thread (it may be empty).
  explicit Inbox(std::function<void()> wakeup = {});
  ~Inbox() override;  // Close()

  void post(int msg, void* wParam, intptr_t lParam) override;
  // Returns once the owner has handled the message, *cancel became true, or
  // the inbox was closed — each of them ends the wait at once.
  void send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) override;

  // Handles every waiting message on the caller's thread, oldest first; a
  // handler may drain again (a modal dialog's loop). Returns how many.
  int Drain(const Handler& handle);
  // Waits up to waitMs for a message, then drains. Returns how many.
  int WaitAndDrain(int waitMs, const Handler& handle);

  // From now on no send waits and nothing waiting is handled: the owner is
  // going away. Senders that wait are released at once.
  void Close();
  bool Closed() const;

 private:
  struct Entry {
    InboxMessage message;
    long long sendId = 0;  // 0 for a posted message
  };

  std::function<void()> wakeup_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Entry> entries_;
  long long nextSendId_ = 1;
  // Sends handled and not yet seen by their sender. Not a high-water mark: a
  // handler that drains again may finish a later send before an earlier one.
  std::vector<long long> handled_;
  bool closed_ = false;
};

}  // namespace engine
