#include "player/player_control.h"

namespace player {

void PlayerControl::Reset() {
  seekSeconds = 0;
  positionSeconds = 0.0;
  outputVolume = kFullVolume;
  pendingWindowSize = 0;
  redrawRequested = false;
  command = NoCommand;
}

void PlayerControl::RequestWindowSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  pendingWindowSize = (uint64_t(uint32_t(width)) << 32) | uint32_t(height);
}

void PlayerStats::Reset() {
  picturesShown = 0;
  framesDroppedEarly = 0;
  framesDroppedLate = 0;
  showMode = ShowNone;
  audioOpen = false;
  videoOpen = false;
  openFailed = false;
  maxAvDrift = 0.0;
  avDriftSamples = 0;
  startMicros = 0;
  firstPictureMicros = 0;
}

}  // namespace player
