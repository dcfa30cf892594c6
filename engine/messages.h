// Messages from the engine's workers to the window (or front end) that owns them.
#pragma once

#include <atomic>
#include <cstdint>

namespace engine {

constexpr int WM_USER = 0x400;
constexpr int WM_CONVERT_PROGRESS = WM_USER + 8000;      // item, percent; 100 = finished
constexpr int WM_CONVERT_START_FAILED = WM_USER + 8001;  // item
constexpr int WM_CONVERT_FAILED = WM_USER + 8002;        // item
constexpr int WM_ITEM_INFO_CHANGED = WM_USER + 8003;     // item; sent
constexpr int WM_MERGE_PART_DONE = WM_USER + 8004;
constexpr int WM_MERGE_PROGRESS = WM_USER + 8005;        // percent in wParam
constexpr int WM_MERGE_DONE = WM_USER + 8006;
constexpr int WM_MERGE_FAILED = WM_USER + 8007;
// A merge part was stopped and nothing failed: the later parts of its batch
// went back to Idle without running.
constexpr int WM_MERGE_PARTS_RESET = WM_USER + 8008;
// The owner's own: something of the user's run may have ended by a verb.
constexpr int WM_RUN_SETTLE = WM_USER + 8009;

// The window that receives engine messages.
struct NotifyTarget {
  virtual ~NotifyTarget() = default;
  // Queues the message for the owner's thread and returns at once.
  virtual void post(int msg, void* wParam, intptr_t lParam) = 0;
  // Returns when the owner has handled the message, or as soon as *cancel
  // becomes true (the sender is being stopped), whichever comes first.
  virtual void send(int msg, void* wParam, intptr_t lParam,
                    const std::atomic<bool>* cancel) = 0;
};

}  // namespace engine
