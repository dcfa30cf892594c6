// The preview player: plays a file into a window that belongs to its host,
// steered through its PlayerThread handle (player_control.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "player/player_control.h"

namespace player {

// How a player ended, for its host to show.
struct PlayerEnd {
  enum class Kind {
    Running,     // not ended yet
    Quit,        // the host asked it to
    CannotOpen,  // the file cannot be played
    CannotShow,  // SDL, the window or the renderer cannot be set up
  };
  Kind kind = Kind::Running;
  std::string error;  // what a person reads, for the two failures
};

// Plays the file (UTF-8 path) into the native window (an X11 window id) from
// startSeconds on, on the calling thread, steered through `control`, until
// the host asks it to quit or the file turns out unplayable. SDL turns on
// Xlib's thread locking, so a host that uses Xlib itself calls XInitThreads
// before its first Xlib call.
PlayerEnd RunPlayer(uintptr_t nativeWindow, const std::string& path, int startSeconds,
                    PlayerControl& control, PlayerStats& stats);

// One player: runs RunPlayer on its own thread with a control and stats of
// its own, so a process may hold several. Start resets both before the
// thread exists, so a quit or seek the host writes at any time after Start is
// honoured. The host stops the player before its window goes: SDL still
// draws into it until then.
class PlayerThread {
 public:
  PlayerThread() = default;
  ~PlayerThread() { Stop(); }
  PlayerThread(const PlayerThread&) = delete;
  PlayerThread& operator=(const PlayerThread&) = delete;

  // Stops a player that still runs first.
  void Start(uintptr_t nativeWindow, const std::string& path, int startSeconds);
  // Asks the player to quit and joins its thread; does nothing when none runs.
  // Any thread may call it, also two at once.
  void Stop();
  bool finished() const { return finished_; }
  PlayerEnd end() const;

  PlayerControl& control() { return control_; }
  PlayerStats& stats() { return stats_; }
  const PlayerStats& stats() const { return stats_; }

 private:
  void StopLocked();

  std::mutex lifeMutex_;  // Start and Stop, one at a time
  PlayerControl control_;
  PlayerStats stats_;
  std::thread thread_;
  std::atomic<bool> finished_{true};
  mutable std::mutex endMutex_;
  PlayerEnd end_;
};

}  // namespace player
