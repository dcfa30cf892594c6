#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "media/media_info.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace {

using media::CacheKind;
using media::MediaInfo;
using media::ProbeMedia;
using media::ProbeReport;
using testsupport::MediaSpec;

class ProbeTest : public testsupport::SandboxTest {
 protected:
  std::string Make(const std::string& name, const MediaSpec& spec = {}) {
    const std::string file = path(name);
    EXPECT_EQ(testsupport::MakeMedia(file, spec), "") << name;
    return file;
  }

  // As a new list item sees it: the path fields first, then the probe.
  ProbeReport Probe(const std::string& file, MediaInfo& info) {
    media::FillFromPath(file, info);
    return ProbeMedia(file, info);
  }
};

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

TEST_F(ProbeTest, PathGivesTitleExtensionCacheKindAndSize) {
  struct Case {
    const char* name;
    const char* title;
    const char* extension;
    CacheKind kind;
  };
  const Case cases[] = {
      {"clip.MP4", "clip", "mp4", CacheKind::None},
      {"a.b.QSV", "a.b", "qsv", CacheKind::Qsv},
      {"archive.QLV", "archive", "qlv", CacheKind::Qlv},
      {"x.kux", "x", "kux", CacheKind::Kux},
      {"qlv", "qlv", "", CacheKind::None},
      {".hidden", ".hidden", "", CacheKind::None},
  };
  for (const Case& c : cases) {
    MediaInfo info;
    media::FillFromPath("/some folder/" + std::string(c.name), info);
    EXPECT_EQ(info.title, c.title) << c.name;
    EXPECT_EQ(info.extension, c.extension) << c.name;
    EXPECT_EQ(info.cacheKind, c.kind) << c.name;
    EXPECT_EQ(info.fileSize, 0) << c.name;
    EXPECT_EQ(info.fileSizeText, "") << c.name;
    EXPECT_EQ(info.audioChannels, 2);
    EXPECT_EQ(info.frameRate, 24.0f);
  }

  testsupport::WriteText(path("sized.bin"), std::string(1536, 'x'));
  MediaInfo info;
  media::FillFromPath(path("sized.bin"), info);
  EXPECT_EQ(info.fileSize, 1536);
  EXPECT_EQ(info.fileSizeText, "1.50 KB");
}

TEST_F(ProbeTest, ReadsAVideoFile) {
  MediaSpec spec;
  spec.seconds = 2.0;
  spec.width = 320;
  spec.height = 240;
  spec.fps = 25;
  const std::string file = Make("clip.mp4", spec);
  MediaInfo info;
  ProbeReport report = Probe(file, info);
  EXPECT_TRUE(report.usable);
  EXPECT_TRUE(report.durationFound);
  EXPECT_TRUE(report.videoSizeFound);
  EXPECT_EQ(report.error, "");
  EXPECT_EQ(info.durationSeconds, 2);
  EXPECT_EQ(info.durationText, "00:00:02");
  EXPECT_EQ(info.coverSeekSeconds, 0);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(info.resolutionText, "320x240");
  EXPECT_FLOAT_EQ(info.frameRate, 25.0f);
  EXPECT_EQ(info.rotation, 0);
  EXPECT_EQ(info.audioChannels, 2);
  EXPECT_GT(info.bitRate, 0);
  EXPECT_GT(std::stoi(info.audioBitRateText), 0) << info.audioBitRateText;
  EXPECT_FALSE(info.hasDataStream);
}

TEST_F(ProbeTest, DurationIsTruncatedAndItsTextRounded) {
  // A WAV file's duration is exact to the sample.
  MediaSpec spec;
  spec.seconds = 5.999;
  const std::string file = Make("tone.wav", spec);
  MediaInfo info;
  ProbeReport report = Probe(file, info);
  EXPECT_TRUE(report.durationFound);
  EXPECT_EQ(info.durationSeconds, 5);
  EXPECT_EQ(info.durationText, "00:00:06");
  EXPECT_EQ(info.coverSeekSeconds, 5);

  struct Case {
    int64_t microseconds;
    int seconds;
    const char* text;
    int coverSeek;
  };
  const Case cases[] = {
      {0, 0, "00:00:00", 0},
      {5500000, 5, "00:00:05", 0},
      {5995000, 5, "00:00:06", 5},
      {3599994999, 3599, "00:59:59", 5},
      {3599995000, 3599, "01:00:00", 5},
      {360000000000, 360000, "100:00:00", 5},
      // Nonsense from a damaged header must not overflow.
      {INT64_MAX, INT_MAX, "2562047788:00:54", 5},
      {-7, 0, "00:00:00", 0},
  };
  for (const Case& c : cases) {
    MediaInfo d;
    media::SetDuration(c.microseconds, d);
    EXPECT_EQ(d.durationSeconds, c.seconds) << c.microseconds;
    EXPECT_EQ(d.durationText, c.text) << c.microseconds;
    EXPECT_EQ(d.coverSeekSeconds, c.coverSeek) << c.microseconds;
  }
}

// The rotation is the turn the transcoder makes: the stored picture's red
// top-left quarter ends up where that clockwise turn puts it.
TEST_F(ProbeTest, RotationIsClockwiseAndTheCodedSizeStays) {
  struct Case {
    int rotation;
    int redQuarter;  // top-left, top-right, bottom-left, bottom-right
  } cases[] = {{90, 1}, {180, 3}, {270, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotation);
    MediaSpec spec;
    spec.width = 320;
    spec.height = 240;
    spec.seconds = 1;
    spec.rotation = c.rotation;
    spec.color = "blue";
    spec.corner = "red";
    const std::string file = Make("turned" + std::to_string(c.rotation) + ".mp4", spec);
    MediaInfo info;
    EXPECT_TRUE(Probe(file, info).usable);
    EXPECT_EQ(info.rotation, c.rotation);
    EXPECT_EQ(info.resolutionText, "320x240");
    const std::vector<uint32_t> quarters = testsupport::Quarters(file);
    ASSERT_EQ(quarters.size(), 4u);
    for (int q = 0; q < 4; ++q)
      EXPECT_EQ(quarters[q] >> 16 > 200, q == c.redQuarter) << q << ": " << std::hex << quarters[q];
  }
}

TEST_F(ProbeTest, ThePicturesColourIsRead) {
  struct Case {
    const char* hdr;
    const char* transfer;
    const char* primaries;
    const char* matrix;
    bool highRange;
  };
  const Case cases[] = {
      {"", "", "", "", false},  // an unmarked SDR picture
      {"pq", "smpte2084", "bt2020", "bt2020nc", true},
      {"hlg", "arib-std-b67", "bt2020", "bt2020nc", true},
  };
  for (const Case& c : cases) {
    MediaSpec spec = testsupport::Clip(0.4, 64, 48);
    spec.audioChannels = 0;
    spec.hdr = c.hdr;
    const std::string file = Make(std::string("colour-") + c.hdr + ".mp4", spec);
    MediaInfo info;
    EXPECT_TRUE(Probe(file, info).usable) << c.hdr;
    EXPECT_EQ(info.colorTransfer, c.transfer) << c.hdr;
    EXPECT_EQ(info.colorPrimaries, c.primaries) << c.hdr;
    EXPECT_EQ(info.colorMatrix, c.matrix) << c.hdr;
    EXPECT_EQ(info.HighDynamicRange(), c.highRange) << c.hdr;
  }

  // A new source read into the same record leaves none of the old marks.
  MediaInfo info;
  info.colorTransfer = "smpte2084";
  info.colorPrimaries = "bt2020";
  info.colorMatrix = "bt2020nc";
  ASSERT_TRUE(Probe(path("colour-.mp4"), info).usable);
  EXPECT_EQ(info.colorTransfer, "");
  EXPECT_EQ(info.colorPrimaries, "");
  EXPECT_EQ(info.colorMatrix, "");
  EXPECT_FALSE(info.HighDynamicRange());
}

TEST_F(ProbeTest, SoundOnlyIsNotUsableButItsSoundIsRead) {
  MediaSpec spec;
  spec.audioChannels = 1;
  spec.seconds = 2;
  const std::string file = Make("song.mp3", spec);
  MediaInfo info;
  ProbeReport report = Probe(file, info);
  EXPECT_FALSE(report.usable);
  EXPECT_TRUE(report.durationFound);
  EXPECT_FALSE(report.videoSizeFound);
  EXPECT_EQ(info.audioChannels, 1);
  EXPECT_EQ(info.audioBitRateText, "64");  // the stream's rate, not the container's
  EXPECT_EQ(info.resolutionText, "");
}

TEST_F(ProbeTest, CoverArtStandsForTheVideoOnlyWhenThereIsNoOther) {
  struct Case {
    const char* name;
    int width;  // 0: sound only
    int expectedWidth, expectedHeight;
  };
  // The attached picture is 64x64.
  const Case cases[] = {{"song.mp3", 0, 64, 64}, {"film.mp4", 320, 320, 240}};
  for (const Case& c : cases) {
    MediaSpec spec;
    spec.seconds = 1;
    spec.width = c.width;
    spec.height = c.width ? 240 : 0;
    spec.coverArt = true;
    const std::string file = Make(c.name, spec);
    MediaInfo info;
    ProbeReport report = Probe(file, info);
    EXPECT_TRUE(report.usable) << c.name;
    EXPECT_EQ(info.width, c.expectedWidth) << c.name;
    EXPECT_EQ(info.height, c.expectedHeight) << c.name;
    if (c.width) {
      EXPECT_FLOAT_EQ(info.frameRate, 25.0f);
    }
  }
}

TEST_F(ProbeTest, DataStreamIsFlagged) {
  MediaSpec spec;
  spec.seconds = 1;
  spec.dataStream = true;
  const std::string file = Make("timecode.mov", spec);
  MediaInfo info;
  EXPECT_TRUE(Probe(file, info).usable);
  EXPECT_TRUE(info.hasDataStream);
}

TEST_F(ProbeTest, UnknownDurationFailsExceptForCacheFiles) {
  MediaSpec spec;
  spec.seconds = 1;
  spec.audioChannels = 0;
  const std::string made = Make("made.mp4", spec);
  // A bare H.264 stream has no container duration.
  const std::string bare = path("bare.h264");
  ASSERT_EQ(platform::RunAndWait({testsupport::FfmpegPath(), "-v", "error", "-i", made, "-c",
                                  "copy", bare}),
            0);

  MediaInfo info;
  ProbeReport report = Probe(bare, info);
  EXPECT_FALSE(report.usable);
  EXPECT_FALSE(report.durationFound);
  EXPECT_NE(report.error, "");
  EXPECT_EQ(info.resolutionText, "");

  ASSERT_EQ(rename(bare.c_str(), path("cache.qlv").c_str()), 0);
  MediaInfo cache;
  report = Probe(path("cache.qlv"), cache);
  EXPECT_TRUE(report.usable);
  EXPECT_FALSE(report.durationFound);
  EXPECT_EQ(cache.durationText, "");
  EXPECT_EQ(cache.resolutionText, "320x240");
}

TEST_F(ProbeTest, AFileWithNeitherPictureNorSoundIsRefusedWithItsReason) {
  // Subtitles alone: a container the transcoder reads, holding nothing it converts.
  testsupport::WriteText(path("words.srt"), "1\n00:00:00,000 --> 00:00:02,000\nhello\n");
  const std::string subs = path("subs.mkv");
  ASSERT_EQ(platform::RunAndWait({testsupport::FfmpegPath(), "-v", "error", "-i",
                                  path("words.srt"), subs}),
            0);
  MediaInfo info;
  ProbeReport report = Probe(subs, info);
  EXPECT_FALSE(report.usable);
  EXPECT_EQ(report.error, "the file holds neither a picture nor a sound");
}

TEST_F(ProbeTest, OddNamesAreFileNames) {
  MediaSpec spec;
  spec.seconds = 1;
  const std::string made = Make("made.mp4", spec);
  // The content decides the format, not the name; ':' is no protocol, '-' no option.
  for (const char* name : {"no extension", "a:b.mp4", "-lead.mp4", "100% fun.mp4"}) {
    ASSERT_EQ(link(made.c_str(), path(name).c_str()), 0) << name;
    MediaInfo info;
    EXPECT_TRUE(Probe(path(name), info).usable) << name;
    EXPECT_EQ(info.resolutionText, "320x240") << name;
  }

  // A relative name holding ':' reads from the working folder.
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(path("").c_str()), 0);
  MediaInfo info;
  const bool usable = ProbeMedia("a:b.mp4", info).usable;
  ASSERT_EQ(chdir(old), 0);
  EXPECT_TRUE(usable);
}

TEST_F(ProbeTest, UnreadableInputFailsWithAReasonAndLeavesTheFieldsAlone) {
  MediaSpec spec;
  spec.seconds = 1;
  const std::string made = Make("made.mp4", spec);
  std::string content = testsupport::ReadText(made);
  testsupport::WriteText(path("half.mp4"), content.substr(0, content.size() / 2));
  testsupport::WriteText(path("empty.mp4"), "");
  testsupport::WriteText(path("notes.mp4"), "just some text\nnothing to see\n");
  std::string noise;
  for (int i = 0; i < 65536; ++i) noise.push_back(static_cast<char>((i * 7919 + i / 13) & 0xff));
  testsupport::WriteText(path("noise.avi"), noise);
  ASSERT_TRUE(platform::CreateFolders(path("folder.mp4")));
  ASSERT_EQ(mkfifo(path("pipe.mp4").c_str(), 0600), 0);

  const int before = OpenDescriptors();
  for (const char* name :
       {"half.mp4", "empty.mp4", "notes.mp4", "noise.avi", "folder.mp4", "pipe.mp4", "gone.mp4"}) {
    MediaInfo info;
    ProbeReport report = Probe(path(name), info);
    EXPECT_FALSE(report.usable) << name;
    EXPECT_NE(report.error, "") << name;
    EXPECT_EQ(info.durationText, "") << name;
    EXPECT_EQ(info.resolutionText, "") << name;
  }
  // Good and bad files alike give back every descriptor they took.
  for (int i = 0; i < 5; ++i) {
    MediaInfo info;
    ProbeMedia(made, info);
    ProbeMedia(path("half.mp4"), info);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
