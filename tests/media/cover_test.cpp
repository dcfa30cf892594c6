#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "media/cover.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace {

using media::MakeCover;
using media::MediaInfo;
using testsupport::MediaSpec;

class CoverTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    coverDir_ = path("data/PelmarVideoConverter/video_cover");  // parents missing on purpose
    workDir_ = path("work");
    platform::CreateFolders(workDir_);
  }

  // A probed source, as the analysis worker has it before the cover.
  MediaInfo Source(const std::string& file, double seconds, const std::string& hdr = "") {
    MediaSpec spec;
    spec.seconds = seconds;
    spec.width = 160;
    spec.height = 120;
    spec.audioChannels = 0;
    spec.pattern = "testsrc2";
    spec.hdr = hdr;
    platform::CreateFolders(platform::ParentDir(file));
    EXPECT_EQ(testsupport::MakeMedia(file, spec), "") << file;
    MediaInfo info;
    media::FillFromPath(file, info);
    EXPECT_TRUE(media::ProbeMedia(file, info).usable) << file;
    return info;
  }

  bool Cover(const std::string& file, MediaInfo& info) {
    platform::Process process;
    return MakeCover(file, info, coverDir_, workDir_, process);
  }

  std::string coverDir_, workDir_;
};

// Width and height from a PNG header; 0x0 when it is no PNG.
std::pair<int, int> PngSize(const std::string& file) {
  const std::string data = testsupport::ReadText(file);
  if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    int value = 0;
    for (size_t i = at; i < at + 4; ++i) value = (value << 8) | static_cast<unsigned char>(data[i]);
    return value;
  };
  return {be32(16), be32(20)};
}

bool Has(const std::vector<std::string>& args, const std::string& arg) {
  return std::find(args.begin(), args.end(), arg) != args.end();
}

TEST_F(CoverTest, ShortFilesArePicturedAtTheStartLongerOnesAtFiveSeconds) {
  struct Case {
    double seconds;
    bool seek;
  };
  for (const Case& c : {Case{4.0, false}, Case{6.0, true}}) {
    const std::string file = path(std::to_string(static_cast<int>(c.seconds)) + "s.mp4");
    MediaInfo info = Source(file, c.seconds);
    const std::vector<std::string> args =
        media::CoverCommand("ffmpeg", file, info.inputFormat, info.coverSeekSeconds,
                            path("x.png"));
    EXPECT_EQ(Has(args, "-ss"), c.seek) << c.seconds;
    EXPECT_EQ(Has(args, "00:00:05"), c.seek) << c.seconds;

    EXPECT_TRUE(Cover(file, info)) << c.seconds;
    EXPECT_EQ(platform::ParentDir(info.coverPath), coverDir_);
    EXPECT_EQ(platform::FileNameOf(info.coverPath).rfind(info.title + "_", 0), 0u)
        << info.coverPath;
    EXPECT_EQ(PngSize(info.coverPath), std::make_pair(1194, 768)) << c.seconds;
  }
}

TEST_F(CoverTest, HighDynamicRangeCoversLookLikeTheirSdrPicture) {
  for (double seconds : {1.0, 6.0}) {  // pictured at the start, and at five seconds
    const std::string tag = std::to_string(static_cast<int>(seconds)) + "s";
    MediaInfo sdr = Source(path("sdr" + tag + ".mp4"), seconds);
    MediaInfo pq = Source(path("pq" + tag + ".mp4"), seconds, "pq");
    ASSERT_TRUE(pq.HighDynamicRange());
    // The same picture with its marks unread: what the cover was before.
    MediaInfo washed = pq;
    washed.colorTransfer.clear();
    ASSERT_TRUE(Cover(path("sdr" + tag + ".mp4"), sdr)) << tag;
    ASSERT_TRUE(Cover(path("pq" + tag + ".mp4"), pq)) << tag;
    washed.coverPath.clear();
    ASSERT_TRUE(Cover(path("pq" + tag + ".mp4"), washed)) << tag;
    EXPECT_EQ(PngSize(pq.coverPath), std::make_pair(1194, 768)) << tag;

    const testsupport::PictureLook want = testsupport::LookOfPicture(sdr.coverPath);
    const testsupport::PictureLook got = testsupport::LookOfPicture(pq.coverPath);
    const testsupport::PictureLook before = testsupport::LookOfPicture(washed.coverPath);
    ASSERT_GT(want.saturation, 0) << tag;
    EXPECT_NEAR(got.luma, want.luma, 12) << tag;
    EXPECT_LT(std::abs(got.saturation - want.saturation),
              std::abs(before.saturation - want.saturation) / 2)
        << tag << ": " << got.saturation << " against " << want.saturation << ", washed out "
        << before.saturation;
  }
}

TEST_F(CoverTest, AnExistingCoverIsReusedWithoutAProcess) {
  const std::string file = path("clip.mp4");
  MediaInfo info = Source(file, 1);
  ASSERT_TRUE(Cover(file, info));
  const std::string first = info.coverPath;

  platform::Process second;
  EXPECT_TRUE(MakeCover(file, info, coverDir_, workDir_, second));
  EXPECT_FALSE(second.started());
  EXPECT_EQ(info.coverPath, first);
}

TEST_F(CoverTest, SameTitlesInTwoFoldersGetTwoCovers) {
  const std::string a = path("a/clip.mp4"), b = path("b/clip.mp4");
  MediaInfo infoA = Source(a, 1), infoB = Source(b, 1);
  ASSERT_TRUE(Cover(a, infoA));
  ASSERT_TRUE(Cover(b, infoB));
  EXPECT_NE(infoA.coverPath, infoB.coverPath);
  EXPECT_TRUE(platform::IsRegularFile(infoA.coverPath));
  EXPECT_TRUE(platform::IsRegularFile(infoB.coverPath));
}

TEST_F(CoverTest, EveryTitleGetsItsCover) {
  // '%' would be a frame-number pattern, ':' a protocol, '-' an option; a
  // title near the longest file name must still leave room for the stamp.
  const std::string titles[] = {"100% fun", "frame %03d", "-x:y", "ünï 'q' \"z\" $HOME",
                                std::string(240, 'l')};
  for (const std::string& title : titles) {
    const std::string file = path(title + ".mp4");
    MediaInfo info = Source(file, 1);
    EXPECT_TRUE(Cover(file, info)) << title;
    EXPECT_EQ(PngSize(info.coverPath), std::make_pair(1194, 768)) << title;
  }

  // Relative names reach the transcoder as absolute ones.
  const std::vector<std::string> args =
      media::CoverCommand("ffmpeg", "-x:y.mp4", "mov", 0, "c.png");
  EXPECT_EQ(args.back(), platform::AbsolutePath("c.png"));
  EXPECT_TRUE(Has(args, platform::AbsolutePath("-x:y.mp4")));
}

TEST_F(CoverTest, MissingTranscoderFailsAndTheNextTryUsesANewName) {
  const std::string file = path("clip.mp4");
  MediaInfo info = Source(file, 1);
  const std::string oldPath = getenv("PATH");
  platform::CreateFolders(path("empty-bin"));
  setenv("PATH", path("empty-bin").c_str(), 1);
  platform::Process process;
  const bool made = MakeCover(file, info, coverDir_, workDir_, process);
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_FALSE(made);
  EXPECT_FALSE(process.started());
  const std::string failed = info.coverPath;
  EXPECT_FALSE(platform::FileExists(failed));

  EXPECT_TRUE(Cover(file, info));
  EXPECT_NE(info.coverPath, failed);
}

TEST_F(CoverTest, KillingTheProcessEndsTheCover) {
  // The transcoder waits for good on a pipe nobody writes to.
  const std::string pipe = path("stuck.mp4");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  MediaInfo info;
  media::FillFromPath(pipe, info);
  info.inputFormat = "mov";  // as if probed before the file became a pipe

  platform::Process process;
  std::thread killer([&] {
    for (int i = 0; i < 3000 && !process.started(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    process.kill();
  });
  const bool made = MakeCover(pipe, info, coverDir_, workDir_, process);
  killer.join();
  EXPECT_FALSE(made);
  EXPECT_TRUE(process.started());
  EXPECT_FALSE(platform::FileExists(info.coverPath));
}

}  // namespace
