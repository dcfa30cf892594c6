// Demuxed packets on their way from the read thread to one decoder.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

extern "C" {
#include <libavcodec/packet.h>
}

namespace player {

// Every flush marker starts a new serial: a packet carries the serial of the
// fifo at the time it was put, so a decoder can tell packets from before a seek
// (older serial) from the new ones. A fresh fifo is aborted until started.
class PacketFifo {
 public:
  PacketFifo() = default;
  ~PacketFifo();
  PacketFifo(const PacketFifo&) = delete;
  PacketFifo& operator=(const PacketFifo&) = delete;

  // Takes over the packet's data (the caller's packet is left blank, also when
  // refused). Negative while aborted.
  int Put(AVPacket* packet);
  // An empty packet: the decoder drains its codec.
  int PutEmpty(int streamIndex);
  // Starts a new serial; the decoder that takes it flushes its codec.
  int PutFlushMarker();

  // 1: *packet (blank for the flush marker, then *isFlush) with its serial;
  // 0: nothing there and block is false; -1: aborted.
  int Get(AVPacket* packet, bool block, int* serial, bool* isFlush);

  void Flush();  // drops every packet
  void Abort();  // wakes every waiter; puts are refused until Start
  void Start();  // clears the abort and puts the flush marker

  int serial() const { return serial_.load(); }
  const std::atomic<int>* serialPtr() const { return &serial_; }
  bool aborted() const { return aborted_.load(); }
  int count() const { return count_.load(); }
  int64_t bytes() const { return bytes_.load(); }
  int64_t duration() const { return duration_.load(); }  // stream time base

 private:
  struct Node {
    AVPacket* packet;  // null: the flush marker
    int serial;
  };
  int PutLocked(AVPacket* packet);
  void FlushLocked();

  std::mutex mutex_;
  std::condition_variable cond_;
  std::deque<Node> nodes_;
  std::atomic<int> serial_{0};
  std::atomic<bool> aborted_{true};
  std::atomic<int> count_{0};
  std::atomic<int64_t> bytes_{0};
  std::atomic<int64_t> duration_{0};
};

}  // namespace player
