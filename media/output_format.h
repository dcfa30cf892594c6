// Output formats and size presets of the format menu, and the output size
// shown for them.
#pragma once

#include <string>

namespace media {

enum class OutputFormat : int { Mp4 = 0, Mkv, Avi, Wmv, Flv, Mov, Gif, Mp3, M4a };
enum class SizePreset : int {
  Origin = 0, Size1080, Size720, Dvd, Tv, Phone, Audio256, Audio128, Audio96
};

// "%dx%d" of the output picture for a source of width x height; "" when the
// size is unknown and the output follows the source (Origin or GIF).
std::string FormatOutputResolution(OutputFormat format, SizePreset preset, int width, int height);

}  // namespace media
