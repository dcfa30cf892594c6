// The one catalogue of formats and presets every front end reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/format_catalog.h"

using namespace engine;
using media::OutputFormat;
using media::SizePreset;

namespace {

TEST(FormatCatalog, TokensAndRowTextsRoundTripOverTheWholeTable) {
  for (int v = 0; v < 9; ++v) {
    auto f = static_cast<OutputFormat>(v);
    OutputFormat parsed = OutputFormat::Mp4;
    ASSERT_TRUE(ParseFormatToken(FormatToken(f), &parsed)) << v;
    EXPECT_EQ(parsed, f);
    std::string upper = FormatToken(f);
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(FormatRowText(f), upper);
  }
  for (SizePreset p : SizePresets()) {
    SizePreset parsedPreset = SizePreset::Origin;
    ASSERT_TRUE(ParsePresetToken(PresetToken(p), &parsedPreset)) << PresetToken(p);
    EXPECT_EQ(parsedPreset, p);
  }
  OutputFormat f = OutputFormat::Mkv;
  EXPECT_FALSE(ParseFormatToken("MP4", &f));  // exact tokens only
  EXPECT_FALSE(ParseFormatToken("", &f));
  EXPECT_EQ(f, OutputFormat::Mkv);
  SizePreset p = SizePreset::Tv;
  EXPECT_FALSE(ParsePresetToken("720p", &p));
  EXPECT_EQ(p, SizePreset::Tv);
  EXPECT_EQ(FormatToken(static_cast<OutputFormat>(9)), "");
  EXPECT_EQ(FormatRowText(static_cast<OutputFormat>(-1)), "");
  EXPECT_EQ(PresetToken(static_cast<SizePreset>(99)), "");
}

TEST(FormatCatalog, LabelsOfTheFormatButton) {
  struct Case {
    OutputFormat format;
    SizePreset preset;
    const char* label;
  } cases[] = {
      {OutputFormat::Mp4, SizePreset::Size720, "MP4 - 1280x720"},
      {OutputFormat::Mkv, SizePreset::Size1080, "MKV - 1920x1080"},
      {OutputFormat::Avi, SizePreset::Dvd, "AVI - 720x576"},
      {OutputFormat::Mov, SizePreset::Tv, "MOV - 640x480"},
      {OutputFormat::Flv, SizePreset::Phone, "FLV - 320x240"},
      {OutputFormat::Gif, SizePreset::Dvd, "GIF - 720P"},
      {OutputFormat::Gif, SizePreset::Tv, "GIF - 360P"},
      {OutputFormat::Gif, SizePreset::Phone, "GIF - 200P"},
      {OutputFormat::Mp3, SizePreset::Audio128, "MP3 - 128 kbps"},
      {OutputFormat::M4a, SizePreset::Audio96, "M4A - 96 kbps"},
      {OutputFormat::Wmv, SizePreset::Origin, "WMV - Source size"},
      {static_cast<OutputFormat>(12), SizePreset::Size720, "1280x720"},
      {OutputFormat::Mp4, static_cast<SizePreset>(12), "MP4 - "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatLabel(c.format, c.preset, "Source size"), c.label) << c.label;
}

TEST(FormatCatalog, EachListOffersItsOwnFormatsAndPresets) {
  using K = ConvertKind;
  const std::vector<OutputFormat> video = {OutputFormat::Mp4, OutputFormat::Mkv, OutputFormat::Avi,
                                           OutputFormat::Wmv, OutputFormat::Flv, OutputFormat::Mov};
  for (OutputFormat f : video) {
    EXPECT_TRUE(ListOffersFormat(K::Video, f));
    EXPECT_TRUE(ListOffersFormat(K::Merge, f));
    EXPECT_FALSE(ListOffersFormat(K::Audio, f));
    EXPECT_FALSE(ListOffersFormat(K::Gif, f));
  }
  EXPECT_TRUE(ListOffersFormat(K::Gif, OutputFormat::Gif));
  EXPECT_FALSE(ListOffersFormat(K::Video, OutputFormat::Gif));
  EXPECT_TRUE(ListOffersFormat(K::Audio, OutputFormat::M4a));
  EXPECT_FALSE(ListOffersFormat(K::Merge, OutputFormat::Mp3));

  struct Case {
    ConvertKind list;
    std::vector<SizePreset> offered;
  } cases[] = {
      {K::Video, {SizePreset::Origin, SizePreset::Size1080, SizePreset::Size720, SizePreset::Dvd,
                  SizePreset::Tv, SizePreset::Phone}},
      {K::Gif, {SizePreset::Origin, SizePreset::Dvd, SizePreset::Tv, SizePreset::Phone}},
      {K::Merge, {SizePreset::Size1080, SizePreset::Size720, SizePreset::Dvd, SizePreset::Tv,
                  SizePreset::Phone, SizePreset::Parts}},
      {K::Audio, {SizePreset::Origin, SizePreset::Audio256, SizePreset::Audio128,
                  SizePreset::Audio96}},
  };
  for (const Case& c : cases) {
    for (SizePreset p : SizePresets()) {
      const int v = static_cast<int>(p);
      bool offered = std::find(c.offered.begin(), c.offered.end(), p) != c.offered.end();
      EXPECT_EQ(ListOffersPreset(c.list, p), offered) << int(c.list) << " " << v;
      // A command line may also ask the merge list for the first part's size.
      bool taken = offered || (c.list == K::Merge && p == SizePreset::Origin);
      EXPECT_EQ(ListTakesPreset(c.list, p), taken) << int(c.list) << " " << v;
    }
    ListChoice start = DefaultChoice(c.list);
    EXPECT_TRUE(ListOffersFormat(c.list, start.format));
    EXPECT_TRUE(ListOffersPreset(c.list, start.preset));
  }
  EXPECT_EQ(DefaultChoice(K::Merge).preset, SizePreset::Size720);
  EXPECT_EQ(DefaultChoice(K::Audio).format, OutputFormat::Mp3);
}

TEST(FormatCatalog, AudioBitRates) {
  EXPECT_EQ(PresetAudioKbps(SizePreset::Audio96), 96);
  EXPECT_EQ(PresetAudioKbps(SizePreset::Origin), 0);
  EXPECT_EQ(PresetAudioKbps(SizePreset::Size720), 0);
  EXPECT_EQ(AudioBitRateText(SizePreset::Audio256, "192"), "256");
  EXPECT_EQ(AudioBitRateText(SizePreset::Audio96, ""), "96");
  EXPECT_EQ(AudioBitRateText(SizePreset::Origin, "192"), "192");
  EXPECT_EQ(AudioBitRateText(SizePreset::Size720, "160"), "160");  // picture lists keep the source's
  EXPECT_EQ(AudioBitRateLabel(SizePreset::Audio128, ""), "128 kbps");
  EXPECT_EQ(AudioBitRateLabel(SizePreset::Origin, "192"), "192 kbps");
  EXPECT_EQ(AudioBitRateLabel(SizePreset::Origin, ""), "");
}

TEST(FormatCatalog, MenuNamesAreReadInTokenOrderNotByPosition) {
  struct Case {
    const char* name;
    bool hasFormat;
    OutputFormat format;
    bool hasPreset;
    SizePreset preset;
  } cases[] = {
      {"menuex_mp4_720", true, OutputFormat::Mp4, true, SizePreset::Size720},
      {"menuex_gif_dvd", true, OutputFormat::Gif, true, SizePreset::Dvd},
      {"menuex_mp3_128", true, OutputFormat::Mp3, true, SizePreset::Audio128},
      {"menuex_m4a_origin", true, OutputFormat::M4a, true, SizePreset::Origin},
      // The search order decides, not where the token stands.
      {"menuex_720_1080_mov_mkv", true, OutputFormat::Mkv, true, SizePreset::Size1080},
      {"menuex_phone_origin", false, OutputFormat::Mp4, true, SizePreset::Origin},
      {"menuex_wmv", true, OutputFormat::Wmv, false, SizePreset::Origin},
      {"menuex_MP4_TV", false, OutputFormat::Mp4, false, SizePreset::Origin},  // case counts
      {"menuex", false, OutputFormat::Mp4, false, SizePreset::Origin},
  };
  for (const Case& c : cases) {
    MenuChoice m = ReadMenuChoice(c.name);
    EXPECT_EQ(m.hasFormat, c.hasFormat) << c.name;
    if (c.hasFormat) {
      EXPECT_EQ(m.format, c.format) << c.name;
    }
    EXPECT_EQ(m.hasPreset, c.hasPreset) << c.name;
    if (c.hasPreset) {
      EXPECT_EQ(m.preset, c.preset) << c.name;
    }
  }
}

TEST(FormatCatalog, OutputResolutionFollowsFormatPresetAndSourceSize) {
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
      {OutputFormat::Mp3, SizePreset::Audio256, 0, 0, ""},
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
    EXPECT_EQ(SizeText(OutputResolution(c.format, c.preset, c.width, c.height)), c.expected)
        << "format " << static_cast<int>(c.format) << " preset " << static_cast<int>(c.preset)
        << " " << c.width << "x" << c.height;
  }
}

// Sizes are worked out on the picture as shown: a portrait clip stays
// upright, and GIF pixels are square.
TEST(FormatCatalog, OutputResolutionFollowsThePictureAsShown) {
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
    EXPECT_EQ(SizeText(OutputResolution(c.format, c.preset, c.width, c.height, c.pixelAspect)),
              c.expected)
        << "format " << static_cast<int>(c.format) << " preset " << static_cast<int>(c.preset)
        << " " << c.width << "x" << c.height << " at " << c.pixelAspect;
  }
}

TEST(FormatCatalog, CacheFilesOnlyInTheVideoAndGifLists) {
  using media::CacheKind;
  EXPECT_TRUE(ListTakesFile(ConvertKind::Video, CacheKind::Qsv));
  EXPECT_TRUE(ListTakesFile(ConvertKind::Gif, CacheKind::Kux));
  EXPECT_FALSE(ListTakesFile(ConvertKind::Audio, CacheKind::Qsv));
  EXPECT_FALSE(ListTakesFile(ConvertKind::Merge, CacheKind::Qlv));
  EXPECT_TRUE(ListTakesFile(ConvertKind::Merge, CacheKind::None));
}

}  // namespace
