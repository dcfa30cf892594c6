#include <gtest/gtest.h>

#include "media/output_format.h"

namespace {

using media::FormatOutputResolution;
using media::OutputFormat;
using media::SizePreset;

TEST(OutputResolution, FollowsFormatPresetAndSourceSize) {
  struct Case {
    OutputFormat format;
    SizePreset preset;
    int width, height;
    const char* expected;
  };
  const Case cases[] = {
      // Unknown source size: nothing to show where the output follows the source.
      {OutputFormat::Mp4, SizePreset::Origin, 0, 0, ""},
      {OutputFormat::Gif, SizePreset::Size720, 1280, 0, ""},
      {OutputFormat::Mp3, SizePreset::Origin, 0, 0, ""},
      {OutputFormat::Mp4, SizePreset::Size1080, 0, 0, "1920x1080"},
      {OutputFormat::Mp3, SizePreset::Audio256, 0, 0, "0x0"},
      // Fixed presets for video containers.
      {OutputFormat::Mp4, SizePreset::Origin, 1000, 562, "1000x562"},
      {OutputFormat::Mkv, SizePreset::Size720, 1920, 1080, "1280x720"},
      {OutputFormat::Mp4, SizePreset::Dvd, 1920, 1080, "720x576"},
      {OutputFormat::Avi, SizePreset::Tv, 1920, 1080, "640x480"},
      {OutputFormat::Mov, SizePreset::Phone, 1920, 1080, "320x240"},
      {OutputFormat::Wmv, SizePreset::Audio128, 1920, 1080, "1920x1080"},
      // Audio outputs keep the source size whatever the preset.
      {OutputFormat::M4a, SizePreset::Size1080, 640, 360, "640x360"},
      // GIF: the large presets are fixed, the small ones keep the shape with an even width.
      {OutputFormat::Gif, SizePreset::Size1080, 640, 360, "1920x1080"},
      {OutputFormat::Gif, SizePreset::Size720, 640, 360, "1280x720"},
      {OutputFormat::Gif, SizePreset::Origin, 1920, 1080, "1280x720"},
      {OutputFormat::Gif, SizePreset::Origin, 1000, 600, "1000x600"},
      {OutputFormat::Gif, SizePreset::Origin, 1000, 720, "1000x720"},
      {OutputFormat::Gif, SizePreset::Dvd, 640, 360, "1280x720"},
      {OutputFormat::Gif, SizePreset::Tv, 1000, 562, "640x360"},
      {OutputFormat::Gif, SizePreset::Phone, 1280, 720, "356x200"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatOutputResolution(c.format, c.preset, c.width, c.height), c.expected)
        << "format " << static_cast<int>(c.format) << " preset " << static_cast<int>(c.preset)
        << " " << c.width << "x" << c.height;
  }
}

}  // namespace
