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
    auto p = static_cast<SizePreset>(v);
    SizePreset parsedPreset = SizePreset::Origin;
    ASSERT_TRUE(ParsePresetToken(PresetToken(p), &parsedPreset)) << v;
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
  EXPECT_EQ(PresetToken(static_cast<SizePreset>(9)), "");
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
                  SizePreset::Phone}},
      {K::Audio, {SizePreset::Origin, SizePreset::Audio256, SizePreset::Audio128,
                  SizePreset::Audio96}},
  };
  for (const Case& c : cases) {
    for (int v = 0; v < 9; ++v) {
      auto p = static_cast<SizePreset>(v);
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

TEST(FormatCatalog, CacheFilesOnlyInTheVideoAndGifLists) {
  using media::CacheKind;
  EXPECT_TRUE(ListTakesFile(ConvertKind::Video, CacheKind::Qsv));
  EXPECT_TRUE(ListTakesFile(ConvertKind::Gif, CacheKind::Kux));
  EXPECT_FALSE(ListTakesFile(ConvertKind::Audio, CacheKind::Qsv));
  EXPECT_FALSE(ListTakesFile(ConvertKind::Merge, CacheKind::Qlv));
  EXPECT_TRUE(ListTakesFile(ConvertKind::Merge, CacheKind::None));
}

}  // namespace
