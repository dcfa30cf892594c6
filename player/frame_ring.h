// Decoded pictures, sound frames or subtitles between a decoder thread and the
// output: a fixed ring of slots.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace player {

class PacketFifo;

struct FrameSlot {
  AVFrame* frame = nullptr;
  AVSubtitle sub{};
  bool hasSub = false;
  int serial = 0;
  double pts = 0;       // seconds; NaN when unknown
  double duration = 0;  // seconds
  int64_t pos = -1;     // byte position in the file
  int width = 0;
  int height = 0;
  int format = -1;
  AVRational sar{0, 1};
  int turn = 0;  // clockwise degrees the picture is shown turned: 0, 90, 180 or 270
  bool uploaded = false;
  bool flipVertical = false;
};

// With keep-last, the item shown last stays in the ring (as the "last" one)
// until the next one is shown, so the output can always redraw it.
class FrameRing {
 public:
  static constexpr int kMaxSize = 16;

  // The fifo's abort also ends every wait on the ring.
  FrameRing(const PacketFifo& fifo, int capacity, bool keepLast);
  ~FrameRing();
  FrameRing(const FrameRing&) = delete;
  FrameRing& operator=(const FrameRing&) = delete;

  // Decoder side: a free slot (blocks while the ring is full; null once the
  // fifo is aborted), then Push to hand it over.
  FrameSlot* PeekWritable();
  void Push();

  // Output side.
  FrameSlot* Peek();      // the current item (the next to show)
  FrameSlot* PeekNext();  // the one after it
  FrameSlot* PeekLast();  // the item shown last
  // Blocks until an item is there; null once the fifo is aborted.
  FrameSlot* PeekReadable();
  void Next();      // done with the current item
  int Remaining();  // items not yet shown
  bool HasShown();  // an item has been shown and is kept

  void Signal();  // wakes waiters (after the fifo was aborted)
  std::mutex& mutex() { return mutex_; }
  int capacity() const { return capacity_; }

 private:
  static void Release(FrameSlot* slot);

  const PacketFifo& fifo_;
  FrameSlot slots_[kMaxSize];
  int capacity_;
  bool keepLast_;
  int read_ = 0;
  int write_ = 0;
  int count_ = 0;
  int shown_ = 0;
  std::mutex mutex_;
  std::condition_variable cond_;
};

}  // namespace player
