// What the probe tells the commands about a source's tracks and picture:
// the sound track to take, the pixel shape, fields and subtitles.
#include <functional>

#include "media/media_info.h"
#include "media/probe.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace {

using media::MediaInfo;

class SourceTracksTest : public testsupport::SandboxTest {};

TEST_F(SourceTracksTest, TheProbeTellsWhatTheCommandsNeed) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  testsupport::WriteText(path("words.srt"), "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n");
  const std::vector<std::string> picture = {"-f", "lavfi", "-i",
                                            "testsrc=size=160x120:rate=25:duration=1"};
  const std::vector<std::string> sound = {"-f", "lavfi", "-i", "sine=duration=1"};
  const std::vector<std::string> h264 = {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                         "yuv420p"};
  // Two sound tracks: a 5.1 one, then a mono one.
  const std::vector<std::string> twoTracks = {"-map", "0:v", "-map", "1:a", "-map", "1:a",
                                              "-c:a", "aac", "-ac:a:0", "6", "-ac:a:1", "1"};
  struct Case {
    const char* file;
    std::vector<std::vector<std::string>> args;
    std::function<void(const MediaInfo&)> check;
  } cases[] = {
      {"second track default.mkv",
       {picture, sound, h264, twoTracks, {"-disposition:a:0", "0", "-disposition:a:1", "default"}},
       [](const MediaInfo& m) {
         EXPECT_EQ(m.audioTrack, 1);
         EXPECT_EQ(m.audioChannels, 1);  // the default track's, not the last's or the largest's
       }},
      {"second track default.mp4",
       {picture, sound, h264, twoTracks, {"-disposition:a:0", "0", "-disposition:a:1", "default"}},
       [](const MediaInfo& m) {
         EXPECT_EQ(m.audioTrack, 1);
         EXPECT_EQ(m.audioChannels, 1);
       }},
      {"first track default.mkv", {picture, sound, h264, twoTracks},
       [](const MediaInfo& m) {
         EXPECT_EQ(m.audioTrack, 0);
         EXPECT_EQ(m.audioChannels, 6);
       }},
      {"no track default.mkv",
       {picture, sound, h264, twoTracks,
        {"-disposition:a:0", "0", "-disposition:a:1", "0", "-default_mode", "passthrough"}},
       [](const MediaInfo& m) {
         EXPECT_EQ(m.audioTrack, 0);
         EXPECT_EQ(m.audioChannels, 6);
       }},
      {"progressive.mp4", {picture, h264},
       [](const MediaInfo& m) {
         EXPECT_FALSE(m.interlaced);
         EXPECT_EQ(m.pixelAspectNum, 1);
         EXPECT_EQ(m.pixelAspectDen, 1);
         EXPECT_TRUE(m.subtitles.empty());
       }},
      // 16:9 PAL as a DVD holds it: 720x576 with 64:45 pixels, stored as fields.
      {"wide fields.mpg",
       {{"-f", "lavfi", "-i", "testsrc=size=720x576:rate=50:duration=1"},
        {"-vf", "interlace,setsar=64/45", "-c:v", "mpeg2video", "-flags", "+ildct+ilme"}},
       [](const MediaInfo& m) {
         EXPECT_TRUE(m.interlaced);
         EXPECT_EQ(m.pixelAspectNum, 64);
         EXPECT_EQ(m.pixelAspectDen, 45);
       }},
      {"fields.mkv", {picture, h264, {"-vf", "interlace", "-flags", "+ildct+ilme"}},
       [](const MediaInfo& m) { EXPECT_TRUE(m.interlaced); }},
      {"subtitles.mkv",
       {picture, {"-i", path("words.srt"), "-map", "0:v", "-map", "1:s", "-map", "1:s"}, h264,
        {"-c:s:0", "srt", "-c:s:1", "ass"}},
       [](const MediaInfo& m) {
         ASSERT_EQ(m.subtitles.size(), 2u);
         EXPECT_EQ(m.subtitles[0].codec, "subrip");
         EXPECT_TRUE(m.subtitles[0].text);
         EXPECT_EQ(m.subtitles[1].codec, "ass");
         EXPECT_TRUE(m.subtitles[1].text);
       }},
      {"subtitles.mp4",
       {picture, {"-i", path("words.srt"), "-map", "0:v", "-map", "1:s"}, h264,
        {"-c:s", "mov_text"}},
       [](const MediaInfo& m) {
         ASSERT_EQ(m.subtitles.size(), 1u);
         EXPECT_EQ(m.subtitles[0].codec, "mov_text");
         EXPECT_TRUE(m.subtitles[0].text);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> args = {testsupport::FfmpegPath(), "-nostdin", "-y"};
    for (const auto& part : c.args) args.insert(args.end(), part.begin(), part.end());
    args.push_back(path(c.file));
    platform::ProcessOptions options;
    options.stderrFile = path("make.log");
    ASSERT_EQ(platform::RunAndWait(args, options), 0) << testsupport::ReadText(path("make.log"));
    MediaInfo info;
    media::FillFromPath(path(c.file), info);
    ASSERT_TRUE(media::ProbeMedia(path(c.file), info).usable);
    c.check(info);
  }
}

}  // namespace
