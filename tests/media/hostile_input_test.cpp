// Sources are read by demuxers that read the file itself and nothing else:
// playlists and lists posing as videos are refused before anything they name
// is opened, and the demuxer the probe chose opens the file again in the
// transcoder.
#include <string>
#include <vector>

#include "media/cover.h"
#include "media/probe.h"
#include "media/source_open.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/hostile_sources.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace {

using media::MediaInfo;
using testsupport::MediaSpec;

class HostileInputTest : public testsupport::SandboxTest {
 protected:
  std::string folder() const { return path("in") + "/"; }
  void SetUp() override {
    SandboxTest::SetUp();
    platform::CreateFolders(folder());
  }
};

std::vector<std::string> Paths(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(folder + name);
  return paths;
}

TEST_F(HostileInputTest, TheProbeAndTheCoverRefuseAndReadNothingNamed) {
  for (const testsupport::HostileSource& c : testsupport::MakeHostileSources(folder())) {
    const std::string file = folder() + c.name;
    testsupport::OpenWatch watch(Paths(folder(), c.named));

    MediaInfo info;
    media::FillFromPath(file, info);
    const media::ProbeReport report = media::ProbeMedia(file, info);
    EXPECT_FALSE(report.usable) << c.name;
    EXPECT_FALSE(report.pictureFound) << c.name;
    EXPECT_NE(report.error, "") << c.name;
    EXPECT_EQ(report.error.find("playlist") != std::string::npos, c.playlist)
        << c.name << ": " << report.error;
    EXPECT_EQ(info.inputFormat, "") << c.name;
    EXPECT_EQ(info.resolutionText, "") << c.name;

    // Handed over all the same, the cover maker does not let the transcoder guess.
    platform::Process process;
    EXPECT_FALSE(media::MakeCover(file, info, path("covers"), path(""), process)) << c.name;
    EXPECT_FALSE(process.started()) << c.name;

    EXPECT_EQ(watch.Opens(), 0) << c.name << " had a file it names opened";
  }
}

TEST_F(HostileInputTest, ListFormatsAreKnownAndAMediaDemuxerReadsNoFurther) {
  testsupport::MakeHostileSources(folder());
  // A format picked by name never slips past the check: the list formats,
  // the ones that read no file, and an unknown demuxer.
  for (const char* name : {"hls", "concat", "dash", "vobsub", "imf", "mlv", "lavfi", "sdp"}) {
    const AVInputFormat* format = av_find_input_format(name);
    if (!format) continue;  // not built into these libraries
    EXPECT_TRUE(media::ReadsBeyondItself(format)) << name;
  }
  EXPECT_TRUE(media::ReadsBeyondItself(nullptr));
  for (const char* name : {"mov", "matroska", "avi", "flv", "mpegts", "asf", "mp3", "wav", "ogg"})
    EXPECT_FALSE(media::ReadsBeyondItself(av_find_input_format(name))) << name;

  // The transcoder given a playlist under a media demuxer reads no further.
  testsupport::OpenWatch watch({folder() + "segment.ts"});
  std::vector<std::string> args = {testsupport::FfmpegPath(), "-v", "error"};
  for (const std::string& arg : media::TranscoderInputOptions("mov")) args.push_back(arg);
  args.insert(args.end(), {"-i", folder() + "holiday.mp4", "-f", "null", "-"});
  EXPECT_NE(platform::RunAndWait(args), 0);
  EXPECT_EQ(watch.Opens(), 0);
}

TEST_F(HostileInputTest, TheProbedDemuxerReadsRealFilesAgain) {
  struct Case {
    const char* name;
    const char* format;  // the -f value
    bool picture;
    const char* audioCodec;  // "" for the container's usual one
  } cases[] = {
      {"a.mp4", "mov", true, ""},           {"a.mov", "mov", true, ""},
      {"a.mkv", "matroska", true, ""},      {"a.webm", "matroska", true, ""},
      {"a.avi", "avi", true, ""},           {"a.flv", "flv", true, ""},
      {"a.ts", "mpegts", true, ""},         {"a.wmv", "asf", true, ""},
      {"a.mp3", "mp3", false, ""},          {"a.m4a", "mov", false, ""},
      {"a.wav", "wav", false, ""},          {"a.ogg", "ogg", false, "libvorbis"},
      {"photo %d.jpg", "image2", true, ""},
  };
  for (const Case& c : cases) {
    const std::string file = folder() + c.name;
    if (std::string(c.format) == "image2") {
      // One picture whose name reads as a numbered sequence.
      ASSERT_EQ(platform::RunAndWait({testsupport::FfmpegPath(), "-v", "error", "-f", "lavfi",
                                      "-i", "testsrc=size=160x120", "-frames:v", "1", "-update",
                                      "1", file}),
                0);
    } else {
      MediaSpec spec = testsupport::Clip(1.0, c.picture ? 160 : 0, c.picture ? 120 : 0);
      spec.audioCodec = c.audioCodec;
      ASSERT_EQ(testsupport::MakeMedia(file, spec), "") << c.name;
    }
    MediaInfo info;
    media::FillFromPath(file, info);
    const media::ProbeReport report = media::ProbeMedia(file, info);
    EXPECT_EQ(report.error, "") << c.name;
    EXPECT_EQ(report.pictureFound, c.picture) << c.name;
    EXPECT_EQ(info.inputFormat, c.format) << c.name;

    // The transcoder reads the whole file through the same demuxer.
    std::vector<std::string> args = {testsupport::FfmpegPath(), "-v", "error"};
    for (const std::string& arg : media::TranscoderInputOptions(info.inputFormat))
      args.push_back(arg);
    args.insert(args.end(), {"-i", file, "-f", "null", "-"});
    EXPECT_EQ(platform::RunAndWait(args), 0) << c.name;
  }
}

}  // namespace
