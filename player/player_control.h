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
  // A seek (to seekSeconds) that leaves the player playing, or paused on the
  // picture there, whatever it did before.
  SeekPlayRequested = 7,
  SeekPauseRequested = 8,
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
  // The host lost its pixels (an expose, a popup) or changed the kept area:
  // draw the last picture again.
  std::atomic<bool> redrawRequested{false};

  // Where playing pauses by itself, the picture before it staying on screen:
  // on reaching stopAtSeconds (negative: nowhere) while playing towards it,
  // and with pauseAtEnd on the file's last picture. The player acknowledges
  // such a pause as Paused and sets `stopped` until the next resume or seek.
  std::atomic<double> stopAtSeconds{-1.0};
  std::atomic<bool> pauseAtEnd{false};
  std::atomic<bool> stopped{false};

  // The part of the picture the host keeps (fractions of the picture as
  // shown, 16 bits each: x, y, width, height); the rest is drawn dimmed.
  // 0: the whole picture, nothing dimmed.
  std::atomic<uint64_t> keptArea{0};

  // Back to the resting values: no command, no seek, position 0, full volume.
  void Reset();
  void RequestWindowSize(int width, int height);
  // The kept part of a picture of pictureWidth x pictureHeight; the whole one
  // (or none) clears it. Ask for a redraw after it.
  void SetKeptArea(double x, double y, double width, double height, double pictureWidth,
                   double pictureHeight);
};

// The kept area as fractions of the picture; false when nothing is dimmed.
struct KeptFractions {
  double x, y, width, height;
};
bool UnpackKeptArea(uint64_t packed, KeptFractions* area);


// What the player did, for hosts, tests and benchmarks. Reset by the starter.
struct PlayerStats {
  std::atomic<int64_t> picturesShown{0};  // pictures taken from the ring onto the screen
  std::atomic<int64_t> framesDroppedEarly{0};
  std::atomic<int64_t> framesDroppedLate{0};
  std::atomic<int> showMode{ShowNone};  // set once the streams are open
  std::atomic<bool> audioOpen{false};
  std::atomic<bool> videoOpen{false};
  // The file cannot be played: it cannot be opened, or the decoder of its
  // picture or sound cannot be opened or decodes nothing of it. The player
  // ends with the reason.
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
