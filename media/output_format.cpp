#include "media/output_format.h"

#include "platform/text.h"

namespace media {
namespace {

// GIF keeps the source's shape: the width follows the target height, made
// even. Single precision, as the sizes have always been computed.
int WidthForHeight(int width, int height, int targetHeight) {
  const float scale = static_cast<float>(height) / static_cast<float>(targetHeight);
  int w = static_cast<int>(static_cast<float>(width) / scale);
  return w % 2 != 0 ? w + 1 : w;
}

struct PresetSize {
  int width, height;
  int gifHeight;  // 0: GIF uses width x height too
};

PresetSize SizeOf(SizePreset preset) {
  switch (preset) {
    case SizePreset::Size1080: return {1920, 1080, 0};
    case SizePreset::Size720: return {1280, 720, 0};
    case SizePreset::Dvd: return {720, 576, 720};
    case SizePreset::Tv: return {640, 480, 360};
    case SizePreset::Phone: return {320, 240, 200};
    default: return {0, 0, 0};  // the source's size
  }
}

}  // namespace

std::string FormatOutputResolution(OutputFormat format, SizePreset preset, int width,
                                   int height) {
  const bool gif = format == OutputFormat::Gif;
  if ((width == 0 || height == 0) && (gif || preset == SizePreset::Origin)) return {};
  int w = width;
  int h = height;
  if (format != OutputFormat::Mp3 && format != OutputFormat::M4a) {
    const PresetSize size = SizeOf(preset);
    int gifHeight = size.gifHeight;
    if (size.width == 0 && gif && height > 720) gifHeight = 720;  // the source, capped
    if (gif && gifHeight > 0) {
      w = WidthForHeight(width, height, gifHeight);
      h = gifHeight;
    } else if (size.width > 0) {
      w = size.width;
      h = size.height;
    }
  }
  return platform::Format("%dx%d", w, h);
}

}  // namespace media
