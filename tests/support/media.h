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

}  // namespace testsupport
