#include "cli/options.h"
#include "gtest/gtest.h"

using namespace cli;
using engine::ConvertKind;
using media::OutputFormat;
using media::SizePreset;

namespace {

TEST(CliOptions, DefaultsFollowTheList) {
  struct Case {
    const char* list;
    OutputFormat format;
    SizePreset preset;
  } cases[] = {{"video", OutputFormat::Mp4, SizePreset::Origin},
               {"audio", OutputFormat::Mp3, SizePreset::Origin},
               {"gif", OutputFormat::Gif, SizePreset::Origin},
               {"merge", OutputFormat::Mp4, SizePreset::Size720}};
  for (const Case& c : cases) {
    ParseResult r = ParseOptions({"--list", c.list, "a.mp4", "b.mp4"});
    ASSERT_TRUE(r.ok) << c.list << ": " << r.error;
    EXPECT_EQ(r.options.format, c.format) << c.list;
    EXPECT_EQ(r.options.preset, c.preset) << c.list;
    EXPECT_EQ(r.options.files.size(), 2u);
  }
}

TEST(CliOptions, ValuesAreRead) {
  ParseResult r = ParseOptions({"--format", "mkv", "--preset", "dvd", "--out", "o", "--name", "n",
                                "--trim", "10-40", "--crop", "1,2,301,200", "--video-bitrate",
                                "2500", "--frame-rate", "29.97", "--", "-odd name.mp4"});
  ASSERT_TRUE(r.ok) << r.error;
  const CliOptions& o = r.options;
  EXPECT_EQ(o.format, OutputFormat::Mkv);
  EXPECT_EQ(o.preset, SizePreset::Dvd);
  EXPECT_EQ(o.outDir, "o");
  EXPECT_EQ(o.name, "n");
  EXPECT_TRUE(o.trim);
  EXPECT_EQ(o.trimStart, 10);
  EXPECT_EQ(o.trimEnd, 40);
  EXPECT_TRUE(o.crop);
  EXPECT_EQ(o.cropWidth, 301);
  EXPECT_EQ(o.videoBitRate, 2500000);
  EXPECT_FLOAT_EQ(o.frameRate, 29.97f);
  EXPECT_EQ(o.files, std::vector<std::string>{"-odd name.mp4"});
}

TEST(CliOptions, NewFormatsAreReadByTheirTokens) {
  struct Case {
    std::vector<std::string> args;
    OutputFormat format;
    SizePreset preset;
  } cases[] = {
      {{"--format", "hevc", "--preset", "720"}, OutputFormat::Hevc, SizePreset::Size720},
      {{"--format", "av1"}, OutputFormat::Av1, SizePreset::Origin},
      {{"--list", "merge", "--format", "webm", "--preset", "origin"}, OutputFormat::Webm,
       SizePreset::Origin},
      {{"--list", "audio", "--format", "wav"}, OutputFormat::Wav, SizePreset::Origin},
      {{"--list", "audio", "--format", "opus", "--preset", "96"}, OutputFormat::Opus,
       SizePreset::Audio96},
  };
  for (Case& c : cases) {
    c.args.insert(c.args.end(), {"a.mp4", "b.mp4"});
    ParseResult r = ParseOptions(c.args);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.format, c.format);
    EXPECT_EQ(r.options.preset, c.preset);
  }
  EXPECT_NE(UsageText().find("hevc writes .mp4"), std::string::npos) << UsageText();
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--bogus", "a.mp4"},
      {"--list", "films", "a.mp4"},
      {"--format", "mp3", "a.mp4"},             // not a video format
      {"--list", "audio", "--format", "mkv", "a.mp4"},
      {"--list", "audio", "--preset", "720", "a.mp4"},
      {"--preset", "128", "a.mp4"},
      {"--list", "audio", "--format", "wav", "--preset", "256", "a.mp4"},  // lossless: origin only
      {"--format", "flac", "a.mp4"},                                       // a sound format
      {"--list", "merge", "--format", "opus", "a.mp4", "b.mp4"},
      {"--name", "x", "a.mp4", "b.mp4"},
      {"--name", "../x", "a.mp4"},
      {"--list", "merge", "a.mp4"},
      {"--trim", "40-10", "a.mp4"},
      {"--trim", "x-10", "a.mp4"},
      {"--crop", "0,0,0,10", "a.mp4"},
      {"--crop", "1,2,3", "a.mp4"},
      {"--video-bitrate", "-5", "a.mp4"},
      {"--frame-rate", "0", "a.mp4"},
      {"a.mp4", "--out"},
  };
  for (const auto& args : bad) {
    ParseResult r = ParseOptions(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(r.ok) << joined;
    EXPECT_FALSE(r.error.empty()) << joined;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << joined;
  }
  EXPECT_TRUE(ParseOptions({"--help"}).options.help);
}

}  // namespace
