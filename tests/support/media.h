// Small real media files made at test time with the real ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct MediaSpec {
  double seconds = 2.0;
  int width = 320;          // 0: no picture
  int height = 240;
  double fps = 25.0;
  int audioChannels = 2;    // 0: no sound
  int sampleRate = 44100;
  int audioTracks = 1;      // more than one: that many copies of the sound
  int rotation = 0;         // clockwise degrees the picture is turned when shown
  bool dataStream = false;  // a timecode data track (mp4/mov)
  bool coverArt = false;    // an attached picture (mp4, m4a, mp3)
  std::string videoCodec;   // empty: the container's usual one
  std::string audioCodec;
  std::string color = "";   // a plain colour picture instead of the test pattern
  std::string pattern = "testsrc";  // the lavfi source of the picture (size and rate given)
  // "pq" or "hlg": the SDR picture turned into that curve in BT.2020, its
  // white at the usual reference white of 203 cd/m2, stored as 10-bit HEVC
  // with the marks a phone writes. "": the SDR picture.
  std::string hdr;
  std::string corner = "";  // a colour for the stored picture's top-left quarter
};

// A clip of the given length and picture size (0x0: sound only).
MediaSpec Clip(double seconds, int width, int height);

// Makes the file (the extension picks the container). Returns an empty text
// on success, else why it failed with the end of ffmpeg's error output.
std::string MakeMedia(const std::string& path, const MediaSpec& spec = {});

// The file's first picture as the transcoder shows it (turned upright),
// shrunk to its four quarters: the mean colour (0xRRGGBB) of its top-left,
// top-right, bottom-left and bottom-right quarter. Empty when it cannot be read.
std::vector<uint32_t> Quarters(const std::string& path);

// ffmpeg's path, or "" when it is not installed.
std::string FfmpegPath();

// What the picture of a file looks like, averaged over its frames (signal
// statistics of its 8-bit 4:4:4 form): mean luma and mean saturation, with
// the pixel format the file stores. Negative means when it could not be
// measured.
struct PictureLook {
  double luma = -1;
  double saturation = -1;
  std::string pixelFormat;
};
PictureLook LookOfPicture(const std::string& path);

// Structural similarity (SSIM, all planes, 4:4:4) of a's picture to b's,
// frame by frame while both have frames: b from bStart seconds on, when
// given. 1 is the same picture; negative when it could not be measured.
double PictureSimilarity(const std::string& a, const std::string& b, double bStart = 0);

}  // namespace testsupport
