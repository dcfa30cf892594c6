// The picture side of the player: when each picture is due, and drawing
// pictures, subtitles and the sound spectrum into the window.
#pragma once

#include <SDL.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/rational.h>
}

namespace player {

struct VideoState;

// Sync thresholds (seconds): below the minimum no correction, above the
// no-sync threshold the clocks are too far apart to correct at all.
constexpr double kSyncThresholdMin = 0.04;
constexpr double kSyncThresholdMax = 0.1;
constexpr double kFrameDupThreshold = 0.1;
constexpr double kNoSyncThreshold = 10.0;
constexpr double kRefreshPeriod = 0.01;
constexpr double kSpectrumPeriod = 0.02;

// Where a picture of w x h pixels with the sample aspect ratio sar goes in the
// area: as large as fits, centred, even sizes, at least 1 x 1.
SDL_Rect DisplayRect(int left, int top, int areaWidth, int areaHeight, int w, int h,
                     AVRational sar);

// A picture of w x h stored pixels of the shape sar, as it is shown turned
// clockwise by `turn` degrees (0, 90, 180 or 270): a quarter turn swaps its
// sides and its pixel's shape.
struct ShownPicture {
  int width, height;
  AVRational sar;
};
ShownPicture TurnedPicture(int w, int h, AVRational sar, int turn);

// Where the stored picture's texture goes so that SDL, turning it by `turn`
// about its middle, covers `shown` (the turned picture's place) exactly.
SDL_Rect TextureRect(const SDL_Rect& shown, int turn);

// The turn the player shows a stream's picture with: the one the transcoder
// makes before its filters when it is a quarter, half or three-quarter turn;
// other angles are shown as stored.
int PictureTurn(const AVStream* stream);

// SDL's texture format for a picture format SDL takes as it is, else
// SDL_PIXELFORMAT_UNKNOWN (the picture is converted to BGRA).
Uint32 SdlTextureFormat(int avPixelFormat);

// How long to wait after the last picture, whose own duration was delay,
// given how far the video clock is from the master clock (diff, seconds).
double TargetDelay(double delay, double diff, double maxFrameDuration);

// The picture area's size before the window reports one, from the picture as shown.
void SetDefaultPictureSize(VideoState* is, int w, int h, AVRational sar);
// One turn of the player: shows the pictures that are due; lowers *remaining
// to the time until the next one.
void VideoRefresh(VideoState* is, double* remaining);
void VideoDisplay(VideoState* is);
void FreeSpectrum(VideoState* is);

}  // namespace player
