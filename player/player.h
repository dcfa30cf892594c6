// The preview player: plays a file into a window that belongs to its host,
// steered through Control() (player_control.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "player/player_control.h"

namespace player {

// Plays the file (UTF-8 path) into the native window (an X11 window id) from
// startSeconds on, on the calling thread, until Control().command becomes
// QuitRequested; then closes everything and returns 0. Returns -1 when SDL,
// the window or the renderer cannot be set up. A file that cannot be played
// leaves the window empty until the quit. Does not reset the control: that
// is the starter's job, before the thread runs. SDL turns on Xlib's thread
// locking, so a host that uses Xlib itself calls XInitThreads before its
// first Xlib call.
int RunPlayer(uintptr_t nativeWindow, const std::string& path, int startSeconds);

// Runs RunPlayer on its own thread. Start resets the control and the stats
// before the thread exists, so a quit or seek the host writes at any time
// after Start is honoured.
class PlayerThread {
 public:
  PlayerThread() = default;
  ~PlayerThread() { Stop(); }
  PlayerThread(const PlayerThread&) = delete;
  PlayerThread& operator=(const PlayerThread&) = delete;

  // Stops a player that still runs first.
  void Start(uintptr_t nativeWindow, const std::string& path, int startSeconds);
  // Asks the player to quit and joins its thread.
  void Stop();
  bool finished() const { return finished_; }
  int result() const { return result_; }  // RunPlayer's value once finished

 private:
  std::thread thread_;
  std::atomic<bool> finished_{true};
  std::atomic<int> result_{0};
};

}  // namespace player
