// The owner's inbox: posts and sends from worker threads, drained on the
// owner's thread.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "engine/inbox.h"

using namespace engine;

namespace {

constexpr auto kLimit = std::chrono::seconds(30);

// A sender on its own thread; ready() once send() came back.
struct Sender {
  Sender(Inbox& inbox, int msg, const std::atomic<bool>* cancel = nullptr)
      : done(std::async(std::launch::async, [&inbox, msg, cancel] {
          inbox.send(msg, nullptr, 0, cancel);
        })) {}
  bool ready() { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
  bool returns() { return done.wait_for(kLimit) == std::future_status::ready; }
  std::future<void> done;
};

// Counts the wakeups, so a test knows a message is in without draining it.
struct Woken {
  std::mutex mutex;
  std::condition_variable cv;
  int count = 0;
  std::function<void()> Callback() {
    return [this] {
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++count;
      }
      cv.notify_all();
    };
  }
  bool WaitFor(int n) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, kLimit, [&] { return count >= n; });
  }
};

TEST(InboxTest, ASendIsReleasedAtOnceByItsCancelFlagAndByClose) {
  Woken woken;
  Inbox inbox(woken.Callback());
  std::atomic<bool> cancel{false};
  Sender cancelled(inbox, 1, &cancel);
  ASSERT_TRUE(woken.WaitFor(1));
  EXPECT_FALSE(cancelled.ready());
  cancel = true;
  EXPECT_TRUE(cancelled.returns());

  Sender closed(inbox, 2);
  ASSERT_TRUE(woken.WaitFor(2));
  EXPECT_FALSE(closed.ready());
  inbox.Close();
  EXPECT_TRUE(closed.returns());
  // Nothing that waited is handled once the owner is going away, nor anything later.
  inbox.post(3, nullptr, 0);
  inbox.send(4, nullptr, 0, nullptr);
  EXPECT_EQ(inbox.Drain([](const InboxMessage&) { ADD_FAILURE() << "handled after Close"; }), 0);
  EXPECT_TRUE(inbox.Closed());
}

TEST(InboxTest, ANestedDrainReleasesOnlyTheSendsItHandled) {
  Woken woken;
  Inbox inbox(woken.Callback());
  Sender first(inbox, 1);
  ASSERT_TRUE(woken.WaitFor(1));
  Sender second(inbox, 2);
  ASSERT_TRUE(woken.WaitFor(2));
  inbox.post(3, nullptr, 0);

  std::vector<int> order;
  bool firstHeldDuringItsHandler = false;
  std::function<void(const InboxMessage&)> handle = [&](const InboxMessage& m) {
    order.push_back(m.msg);
    if (m.msg != 1) return;
    // A modal loop inside the handler of the first send.
    EXPECT_EQ(inbox.Drain(handle), 2);
    EXPECT_TRUE(second.returns());
    firstHeldDuringItsHandler = !first.ready();
  };
  EXPECT_EQ(inbox.Drain(handle), 1);
  EXPECT_TRUE(firstHeldDuringItsHandler);
  EXPECT_TRUE(first.returns());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
