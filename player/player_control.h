// The variables through which a host (the clip editor, the preview program)
// steers a running player, and a few counters the player keeps for its host.
#pragma once

#include <atomic>
#include <cstdint>

namespace player {

enum PlayerCommand : int {
  NoCommand = 0,
  Playing = 1,
  PauseRequested = 2,
  Paused = 3,
  QuitRequested = 4,
  SeekRequested = 5,
  ResumeRequested = 6,
};

constexpr int kFullVolume = 128;

// What the window shows: the picture, or for a file without one, the sound.
enum ShowMode : int { ShowNone = -1, ShowVideo = 0, ShowWaves = 1, ShowSpectrum = 2 };
inline bool ShowsSound(int mode) { return mode == ShowWaves || mode == ShowSpectrum; }

// One set per player. The host writes command, seekSeconds and outputVolume;
// the player acknowledges commands and writes positionSeconds.
struct PlayerControl {
  std::atomic<int> command{NoCommand};
  std::atomic<int> seekSeconds{0};             // whole seconds from the start of the file
  std::atomic<int> outputVolume{kFullVolume};  // 0 to 128
  std::atomic<double> positionSeconds{0.0};    // time of the picture last shown

  // The host's window changed size (device pixels); 0 when nothing is pending.
  // SDL does not follow a foreign window's size by itself.
  std::atomic<uint64_t> pendingWindowSize{0};
  // The host lost its pixels (an expose, a popup): draw the last picture again.
  std::atomic<bool> redrawRequested{false};

  // Back to the resting values: no command, no seek, position 0, full volume.
  void Reset();
  void RequestWindowSize(int width, int height);
};


// What the player did, for hosts, tests and benchmarks. Reset by the starter.
struct PlayerStats {
  std::atomic<int64_t> picturesShown{0};  // pictures taken from the ring onto the screen
  std::atomic<int64_t> framesDroppedEarly{0};
  std::atomic<int64_t> framesDroppedLate{0};
  std::atomic<int> showMode{ShowNone};  // set once the streams are open
  std::atomic<bool> audioOpen{false};
  std::atomic<bool> videoOpen{false};
  // The file could not be opened for playing: nothing will ever show.
  std::atomic<bool> openFailed{false};
  // Largest |video clock - audio clock| seen when a picture was shown, and the
  // number of such samples (both only while sound and picture play together).
  std::atomic<double> maxAvDrift{0.0};
  std::atomic<int64_t> avDriftSamples{0};
  // Microseconds (av_gettime_relative) of the start and of the first picture on screen.
  std::atomic<int64_t> startMicros{0};
  std::atomic<int64_t> firstPictureMicros{0};

  void Reset();
};


}  // namespace player
