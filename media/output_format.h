// Output formats and size presets of the format menu, and the output size
// shown for them.
#pragma once

#include <string>

namespace media {

enum class OutputFormat : int { Mp4 = 0, Mkv, Avi, Wmv, Flv, Mov, Gif, Mp3, M4a };
enum class SizePreset : int {
  Origin = 0, Size1080, Size720, Dvd, Tv, Phone, Audio256, Audio128, Audio96
};

// "%dx%d" of the output picture for a source shown as width x height (sides
// as displayed, after any rotation); "" when the size is unknown and the
// output follows the source (Origin or GIF). pixelAspect is the width to
// height of a source pixel as shown: GIF output is made of square pixels.
std::string FormatOutputResolution(OutputFormat format, SizePreset preset, int width, int height,
                                   double pixelAspect = 1.0);

}  // namespace media
