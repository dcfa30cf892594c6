// The packet fifo's serial rules and the frame ring's keep-last rule.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "player/frame_ring.h"
#include "player/packet_fifo.h"

namespace player {
namespace {

using namespace std::chrono_literals;

AVPacket* MakePacket(int size, int64_t duration) {
  AVPacket* packet = av_packet_alloc();
  EXPECT_EQ(av_new_packet(packet, size), 0);
  packet->duration = duration;
  return packet;
}

struct Got {
  int result;
  int serial;
  bool flush;
  int size;
};

Got GetOne(PacketFifo& fifo, bool block = false) {
  AVPacket* packet = av_packet_alloc();
  Got got{};
  got.result = fifo.Get(packet, block, &got.serial, &got.flush);
  got.size = packet->size;
  av_packet_free(&packet);
  return got;
}

TEST(PacketFifo, EveryFlushMarkerStartsANewSerial) {
  PacketFifo fifo;
  AVPacket* packet = MakePacket(100, 3);
  EXPECT_LT(fifo.Put(packet), 0) << "a fifo is closed until started";
  EXPECT_EQ(packet->size, 0) << "a refused packet is released";
  av_packet_free(&packet);

  fifo.Start();
  EXPECT_EQ(fifo.serial(), 1);
  for (int size : {100, 200}) {
    packet = MakePacket(size, 3);
    ASSERT_EQ(fifo.Put(packet), 0);
    av_packet_free(&packet);
  }
  EXPECT_EQ(fifo.count(), 3);
  EXPECT_EQ(fifo.duration(), 6);
  EXPECT_GT(fifo.bytes(), 300);

  // A seek: the packets of before are dropped, a marker starts serial 2. A
  // packet still in flight from before would keep serial 1 and be skipped by
  // its decoder, which compares with the fifo's serial.
  Got marker = GetOne(fifo);
  EXPECT_TRUE(marker.flush);
  EXPECT_EQ(marker.serial, 1);
  fifo.Flush();
  EXPECT_EQ(fifo.count(), 0);
  EXPECT_EQ(fifo.bytes(), 0);
  EXPECT_EQ(fifo.duration(), 0);
  packet = MakePacket(10, 1);
  fifo.Put(packet);
  av_packet_free(&packet);
  fifo.PutFlushMarker();
  ASSERT_EQ(fifo.PutEmpty(0), 0);  // drain
  EXPECT_EQ(fifo.serial(), 2);

  Got old = GetOne(fifo);
  EXPECT_EQ(old.result, 1);
  EXPECT_FALSE(old.flush);
  EXPECT_EQ(old.serial, 1);
  EXPECT_EQ(old.size, 10);
  Got second = GetOne(fifo);
  EXPECT_TRUE(second.flush);
  EXPECT_EQ(second.serial, 2);
  Got drain = GetOne(fifo);
  EXPECT_EQ(drain.result, 1);
  EXPECT_FALSE(drain.flush);
  EXPECT_EQ(drain.serial, 2);
  EXPECT_EQ(drain.size, 0);
  EXPECT_EQ(GetOne(fifo).result, 0) << "empty, not blocking";
  EXPECT_EQ(fifo.bytes(), 0);
}

TEST(PacketFifo, AbortWakesAWaitingGetAndRefusesPuts) {
  PacketFifo fifo;
  fifo.Start();
  GetOne(fifo);  // the start marker
  std::atomic<int> result{99};
  std::thread reader([&] { result = GetOne(fifo, true).result; });
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(result, 99) << "Get waits for a packet";
  fifo.Abort();
  reader.join();
  EXPECT_EQ(result, -1);
  AVPacket* packet = MakePacket(10, 1);
  EXPECT_LT(fifo.Put(packet), 0);
  av_packet_free(&packet);

  fifo.Start();
  EXPECT_EQ(fifo.serial(), 2);
  EXPECT_TRUE(GetOne(fifo).flush);
}

void PushPicture(FrameRing& ring, double pts) {
  FrameSlot* slot = ring.PeekWritable();
  ASSERT_NE(slot, nullptr);
  slot->pts = pts;
  ring.Push();
}

TEST(FrameRing, KeepLastHoldsTheShownPictureUntilTheNextIsShown) {
  PacketFifo fifo;
  fifo.Start();
  FrameRing ring(fifo, 3, true);
  for (double pts : {0.0, 1.0, 2.0}) PushPicture(ring, pts);
  EXPECT_EQ(ring.Remaining(), 3);
  EXPECT_FALSE(ring.HasShown());

  std::atomic<bool> pushed{false};
  std::thread writer([&] {
    PushPicture(ring, 3.0);
    pushed = true;
  });
  EXPECT_EQ(ring.Peek()->pts, 0.0);
  ring.Next();  // shows picture 0: it stays as the last one, no slot is freed
  EXPECT_TRUE(ring.HasShown());
  EXPECT_EQ(ring.Remaining(), 2);
  EXPECT_EQ(ring.PeekLast()->pts, 0.0);
  EXPECT_EQ(ring.Peek()->pts, 1.0);
  EXPECT_EQ(ring.PeekNext()->pts, 2.0);
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(pushed) << "the ring is full while the shown picture is kept";

  ring.Next();  // shows picture 1: picture 0 goes
  writer.join();
  EXPECT_TRUE(pushed);
  EXPECT_EQ(ring.PeekLast()->pts, 1.0);
  EXPECT_EQ(ring.Peek()->pts, 2.0);
  EXPECT_EQ(ring.Remaining(), 2);
}

TEST(FrameRing, WithoutKeepLastEveryNextFreesASlot) {
  PacketFifo fifo;
  fifo.Start();
  FrameRing ring(fifo, 2, false);
  PushPicture(ring, 5.0);
  PushPicture(ring, 6.0);
  ring.Next();
  EXPECT_FALSE(ring.HasShown());
  EXPECT_EQ(ring.Remaining(), 1);
  EXPECT_EQ(ring.Peek()->pts, 6.0);
  PushPicture(ring, 7.0);  // would block if the slot were still held
  EXPECT_EQ(ring.Remaining(), 2);
}

TEST(FrameRing, AbortedFifoEndsEveryWait) {
  PacketFifo fifo;
  fifo.Start();
  FrameRing full(fifo, 1, false);
  FrameRing empty(fifo, 4, false);
  PushPicture(full, 0.0);
  FrameSlot* writable = reinterpret_cast<FrameSlot*>(1);
  FrameSlot* readable = reinterpret_cast<FrameSlot*>(1);
  std::thread writer([&] { writable = full.PeekWritable(); });
  std::thread reader([&] { readable = empty.PeekReadable(); });
  std::this_thread::sleep_for(50ms);
  fifo.Abort();
  full.Signal();
  empty.Signal();
  writer.join();
  reader.join();
  EXPECT_EQ(writable, nullptr);
  EXPECT_EQ(readable, nullptr);
}

TEST(FrameRing, CapacityIsCappedAtSixteen) {
  PacketFifo fifo;
  EXPECT_EQ(FrameRing(fifo, 40, false).capacity(), FrameRing::kMaxSize);
  EXPECT_EQ(FrameRing(fifo, 9, true).capacity(), 9);
}

}  // namespace
}  // namespace player
