#include <gtest/gtest.h>

#include "media/media_info.h"
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

// Sizes are worked out on the picture as shown: a portrait clip stays
// upright, and GIF pixels are square.
TEST(OutputResolution, FollowsThePictureAsShown) {
  struct Case {
    OutputFormat format;
    SizePreset preset;
    int width, height;  // as shown
    double pixelAspect;
    const char* expected;
  };
  const Case cases[] = {
      // A phone's portrait clip, shown 1080x1920.
      {OutputFormat::Mp4, SizePreset::Origin, 1080, 1920, 1.0, "1080x1920"},
      {OutputFormat::Mp4, SizePreset::Size720, 1080, 1920, 1.0, "720x1280"},
      {OutputFormat::Mkv, SizePreset::Tv, 1080, 1920, 1.0, "480x640"},
      {OutputFormat::Gif, SizePreset::Origin, 1080, 1920, 1.0, "406x720"},
      {OutputFormat::Gif, SizePreset::Dvd, 1080, 1920, 1.0, "406x720"},
      // A square picture is not turned.
      {OutputFormat::Mp4, SizePreset::Size720, 480, 480, 1.0, "1280x720"},
      // 16:9 PAL (720x576 at 64:45) as GIF: 1024 square pixels wide.
      {OutputFormat::Gif, SizePreset::Origin, 720, 576, 64.0 / 45.0, "1024x576"},
      {OutputFormat::Gif, SizePreset::Dvd, 720, 576, 64.0 / 45.0, "1280x720"},
      {OutputFormat::Gif, SizePreset::Tv, 720, 576, 16.0 / 15.0, "480x360"},
      // Other formats keep the stored pixels and their shape.
      {OutputFormat::Mp4, SizePreset::Origin, 720, 576, 64.0 / 45.0, "720x576"},
      // An odd square-pixel GIF at the source's size stays as it is.
      {OutputFormat::Gif, SizePreset::Origin, 321, 241, 1.0, "321x241"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatOutputResolution(c.format, c.preset, c.width, c.height, c.pixelAspect),
              c.expected)
        << "format " << static_cast<int>(c.format) << " preset " << static_cast<int>(c.preset)
        << " " << c.width << "x" << c.height << " at " << c.pixelAspect;
  }
}

TEST(MediaInfoShown, AQuarterTurnSwapsSidesAndPixelShape) {
  struct Case {
    int rotation;
    int width, height;
    double aspect;
  } cases[] = {{0, 720, 576, 64.0 / 45}, {90, 576, 720, 45.0 / 64}, {180, 720, 576, 64.0 / 45},
               {270, 576, 720, 45.0 / 64}};
  for (const Case& c : cases) {
    media::MediaInfo info;
    info.width = 720;
    info.height = 576;
    info.pixelAspectNum = 64;
    info.pixelAspectDen = 45;
    info.rotation = c.rotation;
    EXPECT_EQ(info.DisplayWidth(), c.width) << c.rotation;
    EXPECT_EQ(info.DisplayHeight(), c.height) << c.rotation;
    EXPECT_DOUBLE_EQ(info.DisplayPixelAspect(), c.aspect) << c.rotation;
  }
}

}  // namespace
