#include "player/sync_clock.h"

#include <cmath>

extern "C" {
#include <libavutil/time.h>
}

namespace player {

namespace {
constexpr double kNoSyncThreshold = 10.0;
}

double NowSeconds() { return av_gettime_relative() / 1000000.0; }

SyncClock::SyncClock(const std::atomic<int>* fifoSerial)
    : fifoSerial_(fifoSerial ? fifoSerial : &ownSerial_) {
  SetLocked(NAN, -1, NowSeconds());
}

void SyncClock::SetLocked(double time, int serial, double now) {
  time_ = time;
  lastUpdated_ = now;
  drift_ = time - now;
  serial_ = serial;
  if (fifoSerial_ == &ownSerial_) ownSerial_ = serial;
}

double SyncClock::GetLocked(double now) const {
  if (fifoSerial_->load() != serial_) return NAN;
  if (paused_) return time_;
  return drift_ + now - (now - lastUpdated_) * (1.0 - speed_);
}

double SyncClock::GetAt(double now) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return GetLocked(now);
}

void SyncClock::SetAt(double time, int serial, double now) {
  std::lock_guard<std::mutex> lock(mutex_);
  SetLocked(time, serial, now);
}

void SyncClock::SetSpeed(double speed) {
  std::lock_guard<std::mutex> lock(mutex_);
  double now = NowSeconds();
  SetLocked(GetLocked(now), serial_, now);
  speed_ = speed;
}

void SyncClock::Follow(const SyncClock& other) {
  double value = other.Get();
  int serial = other.serial();
  std::lock_guard<std::mutex> lock(mutex_);
  double now = NowSeconds();
  double mine = GetLocked(now);
  if (!std::isnan(value) && (std::isnan(mine) || std::fabs(mine - value) > kNoSyncThreshold))
    SetLocked(value, serial, now);
}

double SyncClock::time() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return time_;
}

double SyncClock::speed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return speed_;
}

int SyncClock::serial() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serial_;
}

double SyncClock::lastUpdated() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastUpdated_;
}

bool SyncClock::paused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paused_;
}

void SyncClock::SetPaused(bool paused) {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = paused;
}

}  // namespace player
