// A playback clock: the media time of the last update, running on from there
// at its speed unless paused.
#pragma once

#include <atomic>
#include <mutex>

namespace player {

// System time in seconds (monotonic).
double NowSeconds();

class SyncClock {
 public:
  // fifoSerial: the serial of the packets the clock follows; while the clock
  // was set from another serial it reads NaN. Null: the clock's own serial.
  explicit SyncClock(const std::atomic<int>* fifoSerial = nullptr);

  double Get() const { return GetAt(NowSeconds()); }
  double GetAt(double now) const;
  void Set(double time, int serial) { SetAt(time, serial, NowSeconds()); }
  void SetAt(double time, int serial, double now);
  void SetSpeed(double speed);
  // Moves this clock to the other one when it is unset or more than 10 s away.
  void Follow(const SyncClock& other);

  double time() const;  // the value of the last update
  double speed() const;
  int serial() const;
  double lastUpdated() const;
  bool paused() const;
  void SetPaused(bool paused);

 private:
  double GetLocked(double now) const;
  void SetLocked(double time, int serial, double now);

  mutable std::mutex mutex_;
  double time_;
  double drift_;
  double lastUpdated_;
  double speed_ = 1.0;
  int serial_ = -1;
  bool paused_ = false;
  const std::atomic<int>* fifoSerial_;
  std::atomic<int> ownSerial_{-1};
};

}  // namespace player
