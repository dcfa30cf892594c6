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
  const std::vector<OutputFormat> formats = OutputFormats();
  const std::vector<SizePreset> presets = SizePresets();
  ASSERT_EQ(formats.size(), 15u);
  ASSERT_EQ(presets.size(), 10u);
  for (size_t v = 0; v < formats.size(); ++v) {
    auto f = static_cast<OutputFormat>(v);
    EXPECT_EQ(formats[v], f);  // the table stands in the order of the enumeration
    OutputFormat parsed = OutputFormat::Mp4;
    ASSERT_TRUE(ParseFormatToken(FormatToken(f), &parsed)) << v;
    EXPECT_EQ(parsed, f);
    std::string upper = FormatToken(f);
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(FormatRowText(f), upper);
  }
  for (size_t v = 0; v < presets.size(); ++v) {
    auto p = static_cast<SizePreset>(v);
    EXPECT_EQ(presets[v], p);
    SizePreset parsedPreset = SizePreset::Origin;
    ASSERT_TRUE(ParsePresetToken(PresetToken(p), &parsedPreset)) << PresetToken(p);
    EXPECT_EQ(parsedPreset, p);
  }
  OutputFormat f = OutputFormat::Mkv;
  EXPECT_FALSE(ParseFormatToken("MP4", &f));  // exact tokens only
  EXPECT_FALSE(ParseFormatToken("", &f));
  EXPECT_FALSE(ParseFormatToken("h265", &f));
  EXPECT_EQ(f, OutputFormat::Mkv);
  SizePreset p = SizePreset::Tv;
  EXPECT_FALSE(ParsePresetToken("720p", &p));
  EXPECT_EQ(p, SizePreset::Tv);
  EXPECT_EQ(FormatToken(static_cast<OutputFormat>(formats.size())), "");
  EXPECT_EQ(FormatExtension(static_cast<OutputFormat>(formats.size())), "");
  EXPECT_EQ(FormatRowText(static_cast<OutputFormat>(-1)), "");
  EXPECT_EQ(PresetToken(static_cast<SizePreset>(presets.size())), "");
}

// The file's extension is the token's but where one container holds
// several codecs: HEVC goes into MP4, AV1 into WebM.
TEST(FormatCatalog, ExtensionsOfTheFiles) {
  const std::pair<OutputFormat, const char*> cases[] = {
      {OutputFormat::Mp4, "mp4"},   {OutputFormat::Mkv, "mkv"},   {OutputFormat::Gif, "gif"},
      {OutputFormat::M4a, "m4a"},   {OutputFormat::Webm, "webm"}, {OutputFormat::Hevc, "mp4"},
      {OutputFormat::Av1, "webm"},  {OutputFormat::Flac, "flac"}, {OutputFormat::Wav, "wav"},
      {OutputFormat::Opus, "opus"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatExtension(c.first), c.second) << c.second;
  for (OutputFormat f : OutputFormats()) {
    if (f == OutputFormat::Hevc || f == OutputFormat::Av1) continue;
    EXPECT_EQ(FormatExtension(f), FormatToken(f));
  }
}

TEST(FormatCatalog, LabelsOfTheFormatButton) {
  struct Case {
    OutputFormat format;
    SizePreset preset;
    const char* label;
  } cases[] = {
      {OutputFormat::Mp4, SizePreset::Size720, "MP4 - 720p"},
      {OutputFormat::Mkv, SizePreset::Size1080, "MKV - 1080p"},
      {OutputFormat::Avi, SizePreset::Dvd, "AVI - 576p"},
      {OutputFormat::Mov, SizePreset::Tv, "MOV - 480p"},
      {OutputFormat::Flv, SizePreset::Phone, "FLV - 240p"},
      {OutputFormat::Gif, SizePreset::Dvd, "GIF - 720p"},
      {OutputFormat::Gif, SizePreset::Tv, "GIF - 360p"},
      {OutputFormat::Gif, SizePreset::Phone, "GIF - 200p"},
      {OutputFormat::Mp3, SizePreset::Audio128, "MP3 - 128 kbps"},
      {OutputFormat::M4a, SizePreset::Audio96, "M4A - 96 kbps"},
      {OutputFormat::Wmv, SizePreset::Origin, "WMV - Source size"},
      {OutputFormat::Webm, SizePreset::Size720, "WEBM - 720p"},
      {OutputFormat::Hevc, SizePreset::Size1080, "HEVC - 1080p"},
      {OutputFormat::Av1, SizePreset::Phone, "AV1 - 240p"},
      {OutputFormat::Flac, SizePreset::Origin, "FLAC - Source size"},
      {OutputFormat::Wav, SizePreset::Origin, "WAV - Source size"},
      {OutputFormat::Opus, SizePreset::Audio96, "OPUS - 96 kbps"},
      {static_cast<OutputFormat>(99), SizePreset::Size720, "720p"},
      {OutputFormat::Mp4, static_cast<SizePreset>(99), "MP4 - "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatLabel(c.format, c.preset, "Source size"), c.label) << c.label;
}

TEST(FormatCatalog, EachListOffersItsOwnFormatsAndPresets) {
  using K = ConvertKind;
  const std::vector<OutputFormat> video = {
      OutputFormat::Mp4, OutputFormat::Mkv,  OutputFormat::Avi,  OutputFormat::Wmv,
      OutputFormat::Flv, OutputFormat::Mov,  OutputFormat::Webm, OutputFormat::Hevc,
      OutputFormat::Av1};
  for (OutputFormat f : video) {
    EXPECT_TRUE(ListOffersFormat(K::Video, f));
    EXPECT_TRUE(ListOffersFormat(K::Merge, f));
    EXPECT_FALSE(ListOffersFormat(K::Audio, f));
    EXPECT_FALSE(ListOffersFormat(K::Gif, f));
  }
  EXPECT_TRUE(ListOffersFormat(K::Gif, OutputFormat::Gif));
  EXPECT_FALSE(ListOffersFormat(K::Video, OutputFormat::Gif));
  for (OutputFormat f : {OutputFormat::Mp3, OutputFormat::M4a, OutputFormat::Flac,
                         OutputFormat::Wav, OutputFormat::Opus}) {
    EXPECT_TRUE(ListOffersFormat(K::Audio, f));
    EXPECT_TRUE(IsSoundFormat(f));
    EXPECT_FALSE(ListOffersFormat(K::Merge, f));
    EXPECT_FALSE(ListOffersFormat(K::Video, f));
  }

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

// Within a list, a format may take fewer presets: FLAC and WAV keep the
// sound as it is, so they have no bit rate to choose.
TEST(FormatCatalog, EachFormatTakesItsOwnPresets) {
  using K = ConvertKind;
  const std::vector<SizePreset> sizes = {SizePreset::Origin, SizePreset::Size1080,
                                         SizePreset::Size720, SizePreset::Dvd, SizePreset::Tv,
                                         SizePreset::Phone};
  const std::vector<SizePreset> rates = {SizePreset::Origin, SizePreset::Audio256,
                                         SizePreset::Audio128, SizePreset::Audio96};
  auto Plus = [](std::vector<SizePreset> presets, SizePreset more) {
    presets.push_back(more);
    return presets;
  };
  struct Case {
    ConvertKind list;
    OutputFormat format;
    std::vector<SizePreset> offered;
  } cases[] = {
      {K::Video, OutputFormat::Mp4, sizes},
      {K::Video, OutputFormat::Webm, sizes},
      {K::Video, OutputFormat::Hevc, sizes},
      {K::Video, OutputFormat::Av1, sizes},
      // Parts of one kind join as they are into containers, not into a codec's row.
      {K::Merge, OutputFormat::Webm, Plus({sizes.begin() + 1, sizes.end()}, SizePreset::Parts)},
      {K::Merge, OutputFormat::Mov, Plus({sizes.begin() + 1, sizes.end()}, SizePreset::Parts)},
      {K::Merge, OutputFormat::Av1, {sizes.begin() + 1, sizes.end()}},
      {K::Merge, OutputFormat::Avi, {sizes.begin() + 1, sizes.end()}},
      {K::Audio, OutputFormat::Mp3, rates},
      {K::Audio, OutputFormat::Opus, rates},
      {K::Audio, OutputFormat::Flac, {SizePreset::Origin}},
      {K::Audio, OutputFormat::Wav, {SizePreset::Origin}},
      // A format of another list takes nothing.
      {K::Audio, OutputFormat::Webm, {}},
      {K::Video, OutputFormat::Flac, {}},
  };
  for (const Case& c : cases) {
    for (SizePreset p : SizePresets()) {
      const bool offered = std::find(c.offered.begin(), c.offered.end(), p) != c.offered.end();
      EXPECT_EQ(ListOffersPreset(c.list, c.format, p), offered)
          << FormatToken(c.format) << " " << PresetToken(p);
      const bool taken = offered || (c.list == K::Merge && p == SizePreset::Origin);
      EXPECT_EQ(ListTakesPreset(c.list, c.format, p), taken)
          << FormatToken(c.format) << " " << PresetToken(p);
    }
  }
  EXPECT_TRUE(IsLosslessSound(OutputFormat::Flac));
  EXPECT_TRUE(IsLosslessSound(OutputFormat::Wav));
  EXPECT_FALSE(IsLosslessSound(OutputFormat::Opus));
  EXPECT_FALSE(IsLosslessSound(OutputFormat::Mp4));
}

// The sound must suit the container it goes into: Opus in WebM (VP9 and
// AV1), AAC in MP4 and the other old containers; Opus only at 48 kHz.
TEST(FormatCatalog, CodecsSuitTheirContainers) {
  using Args = std::vector<std::string>;
  struct Case {
    OutputFormat format;
    Args trackSound;
    const char* rate;
    std::string videoEncoder;  // the encoder a converted video names; "" for none
  } cases[] = {
      {OutputFormat::Mp4, {"-c:a", "aac"}, "44100", ""},
      {OutputFormat::Avi, {"-c:a", "aac"}, "44100", "libx264"},
      {OutputFormat::Webm, {"-c:a", "libopus"}, "48000", "libvpx-vp9"},
      {OutputFormat::Hevc, {"-c:a", "aac"}, "44100", "libx265"},
      {OutputFormat::Av1, {"-c:a", "libopus"}, "48000", "libsvtav1"},
  };
  for (const Case& c : cases) {
    const std::string token = FormatToken(c.format);
    EXPECT_EQ(TrackSoundCodecArgs(c.format), c.trackSound) << token;
    EXPECT_EQ(SoundSampleRate(c.format), c.rate) << token;
    const Args& video = VideoCodecArgs(ConvertKind::Video, c.format, SizePreset::Origin);
    const std::string encoder = video.size() >= 2 && video[0] == "-c:v" ? video[1] : "";
    EXPECT_EQ(encoder, c.videoEncoder) << token;
  }
  // A merge part of a new container names its own encoder; the joined file,
  // if the parts must be encoded again, the same one.
  for (OutputFormat f : {OutputFormat::Webm, OutputFormat::Hevc, OutputFormat::Av1}) {
    const Args& part = VideoCodecArgs(ConvertKind::Merge, f, SizePreset::Size720);
    const Args& join = JoinCodecArgs(f);
    ASSERT_GE(part.size(), 2u);
    ASSERT_GE(join.size(), 2u);
    EXPECT_EQ(part[1], VideoCodecArgs(ConvertKind::Video, f, SizePreset::Origin)[1]);
    EXPECT_EQ(join[1], part[1]);
  }
  // Sound files: FLAC and WAV keep the source's rate.
  EXPECT_EQ(SoundSampleRate(OutputFormat::Opus), "48000");
  EXPECT_EQ(SoundSampleRate(OutputFormat::Mp3), "44100");
  EXPECT_EQ(SoundSampleRate(OutputFormat::Flac), "");
  EXPECT_EQ(SoundSampleRate(OutputFormat::Wav), "");
  EXPECT_EQ(SoundCodecArgs(OutputFormat::Flac), (Args{"-c:a", "flac"}));
  EXPECT_EQ(SoundCodecArgs(OutputFormat::Wav), (Args{"-c:a", "pcm_s16le"}));
  EXPECT_EQ(SoundCodecArgs(OutputFormat::Opus), (Args{"-c:a", "libopus"}));
  EXPECT_TRUE(JoinCodecArgs(OutputFormat::Mp4).empty());  // the parts' own encoder, as ever
  EXPECT_EQ(SubtitlesOf(OutputFormat::Hevc), SubtitleWay::TimedText);
  EXPECT_EQ(SubtitlesOf(OutputFormat::Webm), SubtitleWay::WebVtt);
  EXPECT_EQ(SubtitlesOf(OutputFormat::Av1), SubtitleWay::WebVtt);
  EXPECT_EQ(SubtitlesOf(OutputFormat::Avi), SubtitleWay::None);
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
      {"menuex2_av1_1080", true, OutputFormat::Av1, true, SizePreset::Size1080},
      {"menuex_wav_origin", true, OutputFormat::Wav, true, SizePreset::Origin},
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

// Every entry the menu can have, built as the skin names them, reads back as
// its own format and preset: no token stands inside another entry's name.
TEST(FormatCatalog, EveryMenuEntryNameReadsBackAsItsOwnChoice) {
  int entries = 0;
  for (ConvertKind list : {ConvertKind::Video, ConvertKind::Audio, ConvertKind::Gif,
                           ConvertKind::Merge}) {
    const std::string prefix = list == ConvertKind::Merge ? "menuex2_" : "menuex_";
    for (OutputFormat f : OutputFormats()) {
      for (SizePreset p : SizePresets()) {
        if (!ListOffersPreset(list, f, p)) continue;
        const std::string name = prefix + FormatToken(f) + "_" + PresetToken(p);
        ++entries;
        const MenuChoice m = ReadMenuChoice(name);
        EXPECT_TRUE(m.hasFormat && m.format == f) << name;
        EXPECT_TRUE(m.hasPreset && m.preset == p) << name;
      }
    }
  }
  // 9 picture formats x 6 sizes, GIF 4, MP3, M4A, Opus 4 each, FLAC and WAV 1,
  // merge 9 x 5 and the parts as they are into MP4, MKV, MOV and WebM.
  EXPECT_EQ(entries, 54 + 4 + 12 + 2 + 45 + 4);
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
