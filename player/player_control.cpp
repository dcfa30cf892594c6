#include "player/player_control.h"

#include <algorithm>
#include <cmath>

namespace player {

void PlayerControl::Reset() {
  seekSeconds = 0;
  positionSeconds = 0.0;
  outputVolume = kFullVolume;
  pendingWindowSize = 0;
  redrawRequested = false;
  stopAtSeconds = -1.0;
  pauseAtEnd = false;
  stopped = false;
  keptArea = 0;
  command = NoCommand;
}

namespace {
constexpr double kKeptUnit = 65535.0;
}

void PlayerControl::SetKeptArea(double x, double y, double width, double height,
                                double pictureWidth, double pictureHeight) {
  if (!(pictureWidth > 0) || !(pictureHeight > 0) || !(width > 0) || !(height > 0) ||
      (x <= 0 && y <= 0 && x + width >= pictureWidth && y + height >= pictureHeight)) {
    keptArea = 0;
    return;
  }
  auto part = [](double v, double whole) {
    return uint64_t(std::lround(std::clamp(v / whole, 0.0, 1.0) * kKeptUnit));
  };
  keptArea = part(x, pictureWidth) << 48 | part(y, pictureHeight) << 32 |
             part(width, pictureWidth) << 16 | part(height, pictureHeight);
}

bool UnpackKeptArea(uint64_t packed, KeptFractions* area) {
  if (!packed) return false;
  *area = KeptFractions{double(packed >> 48 & 0xffff) / kKeptUnit,
                        double(packed >> 32 & 0xffff) / kKeptUnit,
                        double(packed >> 16 & 0xffff) / kKeptUnit, double(packed & 0xffff) / kKeptUnit};
  return true;
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
