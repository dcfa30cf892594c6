// Looking at what the transcoder wrote.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace engine {

// True when the file opens as media and holds at least one stream.
bool OutputHasStreams(const std::string& path);

// Why a finished output is no result, in words for the user; "" when it is
// one. It must open as media with a stream, and when a picture is needed
// (video and GIF outputs) hold a video stream with at least one frame.
std::string OutputFault(const std::string& path, bool needsPicture);

// The file's playing length in seconds: the container's, else its longest
// stream's; 0 when it is not media or tells no length.
double MediaSeconds(const std::string& path);

// The properties that decide whether merge parts can be joined without
// encoding again.
struct PartFormat {
  bool ok = false;
  std::string videoCodec;    // codec name, e.g. "h264"; "" without picture
  std::string videoEncoder;  // the encoder that writes that codec, e.g. "libx264"
  std::string pixelFormat;   // e.g. "yuv420p"
  int width = 0, height = 0;
  int frameRateNum = 0, frameRateDen = 0;
  std::string audioCodec;  // "" without sound
  int sampleRate = 0;
  int channels = 0;
  long long videoBitRate = 0;  // bit/s; 0 when unknown
  double videoSeconds = 0;     // length of the picture stream; 0 when unknown
  double seconds = 0;          // length of the whole file; 0 when unknown
  // The container's own tags (recording date, place, camera), in its order.
  std::vector<std::pair<std::string, std::string>> tags;
};
// Reads the file through the file protocol alone, as a source is read.
PartFormat ProbePartFormat(const std::string& path);

// Same picture and sound format, so the parts join by stream copy.
bool SameFormat(const PartFormat& a, const PartFormat& b);

}  // namespace engine
