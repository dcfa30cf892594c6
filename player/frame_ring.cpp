#include "player/frame_ring.h"

#include <algorithm>

#include "player/packet_fifo.h"

namespace player {

FrameRing::FrameRing(const PacketFifo& fifo, int capacity, bool keepLast)
    : fifo_(fifo), capacity_(std::min(std::max(capacity, 1), kMaxSize)), keepLast_(keepLast) {
  for (FrameSlot& slot : slots_) slot.frame = av_frame_alloc();
}

FrameRing::~FrameRing() {
  for (FrameSlot& slot : slots_) {
    Release(&slot);
    av_frame_free(&slot.frame);
  }
}

void FrameRing::Release(FrameSlot* slot) {
  if (slot->frame) av_frame_unref(slot->frame);
  if (slot->hasSub) avsubtitle_free(&slot->sub);
  slot->hasSub = false;
}

FrameSlot* FrameRing::PeekWritable() {
  std::unique_lock<std::mutex> lock(mutex_);
  cond_.wait(lock, [&] { return count_ < capacity_ || fifo_.aborted(); });
  if (fifo_.aborted()) return nullptr;
  return &slots_[write_];
}

void FrameRing::Push() {
  std::lock_guard<std::mutex> lock(mutex_);
  write_ = (write_ + 1) % capacity_;
  ++count_;
  cond_.notify_one();
}

FrameSlot* FrameRing::Peek() {
  std::lock_guard<std::mutex> lock(mutex_);
  return &slots_[(read_ + shown_) % capacity_];
}

FrameSlot* FrameRing::PeekNext() {
  std::lock_guard<std::mutex> lock(mutex_);
  return &slots_[(read_ + shown_ + 1) % capacity_];
}

FrameSlot* FrameRing::PeekLast() {
  std::lock_guard<std::mutex> lock(mutex_);
  return &slots_[read_];
}

FrameSlot* FrameRing::PeekReadable() {
  std::unique_lock<std::mutex> lock(mutex_);
  cond_.wait(lock, [&] { return count_ - shown_ > 0 || fifo_.aborted(); });
  if (fifo_.aborted()) return nullptr;
  return &slots_[(read_ + shown_) % capacity_];
}

void FrameRing::Next() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (keepLast_ && !shown_) {
    shown_ = 1;
    return;
  }
  Release(&slots_[read_]);
  read_ = (read_ + 1) % capacity_;
  --count_;
  cond_.notify_one();
}

int FrameRing::Remaining() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_ - shown_;
}

bool FrameRing::HasShown() {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_ != 0;
}

void FrameRing::Signal() {
  std::lock_guard<std::mutex> lock(mutex_);
  cond_.notify_all();
}

}  // namespace player
