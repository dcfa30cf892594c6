#include "media/output_format.h"

#include <cmath>

#include "platform/text.h"

namespace media {
namespace {

// GIF keeps the source's shape: the width follows the target height, made
// even. Single precision, as the sizes have always been computed.
int WidthForHeight(float width, int height, int targetHeight) {
  const float scale = static_cast<float>(height) / static_cast<float>(targetHeight);
  int w = static_cast<int>(width / scale);
  return w % 2 != 0 ? w + 1 : w;
}

struct PresetSize {
  int width, height;
  int gifHeight;  // the height a GIF takes; 0: the source's, at most 720
};

PresetSize SizeOf(SizePreset preset) {
  switch (preset) {
    case SizePreset::Size1080: return {1920, 1080, 1080};
    case SizePreset::Size720: return {1280, 720, 720};
    case SizePreset::Dvd: return {720, 576, 720};
    case SizePreset::Tv: return {640, 480, 360};
    case SizePreset::Phone: return {320, 240, 200};
    default: return {0, 0, 0};  // the source's size
  }
}

}  // namespace

std::string FormatOutputResolution(OutputFormat format, SizePreset preset, int width, int height,
                                   double pixelAspect) {
  const bool gif = format == OutputFormat::Gif;
  if ((width == 0 || height == 0) && (gif || preset == SizePreset::Origin)) return {};
  int w = width;
  int h = height;
  if (format == OutputFormat::Mp3 || format == OutputFormat::M4a)
    return platform::Format("%dx%d", w, h);
  const PresetSize size = SizeOf(preset);
  if (gif) {
    // GIF has no pixel shape of its own: its pixels are square, so a source
    // with wide or narrow pixels is widened or narrowed to the shape it shows.
    const float squareWidth = static_cast<float>(
        pixelAspect > 0 && std::isfinite(pixelAspect) ? width * pixelAspect : width);
    int gifHeight = size.gifHeight;
    if (gifHeight == 0 && height > 720) gifHeight = 720;  // the source, capped
    if (gifHeight == 0 && squareWidth == static_cast<float>(width))
      return platform::Format("%dx%d", w, h);  // square pixels at the source's size
    if (gifHeight == 0) gifHeight = height;
    w = WidthForHeight(squareWidth, height, gifHeight);
    h = gifHeight;
  } else if (size.width > 0) {
    // A picture standing upright takes the preset upright too, rather than
    // being squeezed into a landscape frame.
    const bool upright = height > width;
    w = upright ? size.height : size.width;
    h = upright ? size.width : size.height;
  }
  return platform::Format("%dx%d", w, h);
}

}  // namespace media
