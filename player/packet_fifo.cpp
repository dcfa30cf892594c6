#include "player/packet_fifo.h"

namespace player {

PacketFifo::~PacketFifo() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

int PacketFifo::PutLocked(AVPacket* packet) {
  if (aborted_) {
    if (packet) av_packet_unref(packet);
    return -1;
  }
  Node node{nullptr, 0};
  if (packet) {
    node.packet = av_packet_alloc();
    if (!node.packet) {
      av_packet_unref(packet);
      return -1;
    }
    av_packet_move_ref(node.packet, packet);
  } else {
    ++serial_;
  }
  node.serial = serial_;
  nodes_.push_back(node);
  ++count_;
  bytes_ += (node.packet ? node.packet->size : 0) + int64_t(sizeof(Node));
  if (node.packet) duration_ += node.packet->duration;
  cond_.notify_one();
  return 0;
}

int PacketFifo::Put(AVPacket* packet) {
  std::lock_guard<std::mutex> lock(mutex_);
  return PutLocked(packet);
}

int PacketFifo::PutEmpty(int streamIndex) {
  AVPacket* packet = av_packet_alloc();
  if (!packet) return -1;
  packet->stream_index = streamIndex;
  int result = Put(packet);
  av_packet_free(&packet);
  return result;
}

int PacketFifo::PutFlushMarker() {
  std::lock_guard<std::mutex> lock(mutex_);
  return PutLocked(nullptr);
}

int PacketFifo::Get(AVPacket* packet, bool block, int* serial, bool* isFlush) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (aborted_) return -1;
    if (!nodes_.empty()) break;
    if (!block) return 0;
    cond_.wait(lock);
  }
  Node node = nodes_.front();
  nodes_.pop_front();
  --count_;
  bytes_ -= (node.packet ? node.packet->size : 0) + int64_t(sizeof(Node));
  *serial = node.serial;
  *isFlush = node.packet == nullptr;
  av_packet_unref(packet);
  if (node.packet) {
    duration_ -= node.packet->duration;
    av_packet_move_ref(packet, node.packet);
    av_packet_free(&node.packet);
  }
  return 1;
}

void PacketFifo::FlushLocked() {
  for (Node& node : nodes_) av_packet_free(&node.packet);
  nodes_.clear();
  count_ = 0;
  bytes_ = 0;
  duration_ = 0;
}

void PacketFifo::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

void PacketFifo::Abort() {
  std::lock_guard<std::mutex> lock(mutex_);
  aborted_ = true;
  cond_.notify_all();
}

void PacketFifo::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  aborted_ = false;
  PutLocked(nullptr);
}

}  // namespace player
