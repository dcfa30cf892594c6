// Conversion jobs against the real transcoder.
#include <signal.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/core/app_settings.h"
#include "engine/format_catalog.h"
#include "engine/output_check.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "media/output_format.h"
#include "media/probe.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::MediaSpec;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class JobTest : public EngineTest {
 protected:
  // An analysed item with the queue-time values the window would set.
  // The format is named by its token; the file takes the format's extension.
  std::shared_ptr<VideoItem> Prepared(const std::string& source, ConvertKind kind,
                                      const std::string& token) {
    auto item = std::make_shared<VideoItem>(source, kind);
    ProbeItem(*item);
    item->outputDir = out_;
    EXPECT_TRUE(ParseFormatToken(token, &item->outputFormat)) << token;
    item->outputExtension = FormatExtension(item->outputFormat);
    item->analysed = true;
    keep_.push_back(item);  // messages name items by address: no address is reused
    return item;
  }

  // The messages that end a run of the item: 100, or one of the failures.
  static std::vector<int> FinalMessages(const std::vector<Message>& list, const VideoItem* item) {
    std::vector<int> finals;
    for (const Message& m : list)
      if (m.wParam == item && (m.msg == WM_CONVERT_FAILED || m.msg == WM_CONVERT_START_FAILED ||
                               (m.msg == WM_CONVERT_PROGRESS && m.lParam == 100)))
        finals.push_back(m.msg);
    return finals;
  }

  // Runs one job until it reports nothing more and returns its final
  // message; a job reports exactly one.
  int Convert(const std::shared_ptr<VideoItem>& item) {
    auto job = std::make_shared<CUtilTransform>(item.get(), &recorder_, dirs_);
    job->Start();
    EXPECT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(60)))
        << "no final message for " << item->sourcePath;
    reason_ = job->FailureReason();
    output_ = job->OutputPath();
    job->Stop();
    std::vector<int> finals = FinalMessages(recorder_.Messages(), item.get());
    EXPECT_EQ(finals.size(), 1u) << item->sourcePath;
    return finals.empty() ? 0 : finals.back();
  }

  Recorder recorder_;
  std::string reason_;
  std::string output_;  // the path the last job wrote
  std::vector<std::shared_ptr<VideoItem>> keep_;
};

// The tag the file's first picture stream carries ("hvc1"); "" when none.
std::string VideoTag(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return "?";
  std::string tag;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    for (unsigned i = 0; i < ctx->nb_streams && tag.empty(); ++i) {
      const AVCodecParameters* par = ctx->streams[i]->codecpar;
      if (par->codec_type != AVMEDIA_TYPE_VIDEO || par->codec_tag == 0) continue;
      for (int b = 0; b < 4; ++b) tag += static_cast<char>((par->codec_tag >> (8 * b)) & 0xff);
    }
  }
  avformat_close_input(&ctx);
  return tag;
}

// Every row of the catalogue, in the list that offers it, converts a clip
// with sound at 48 kHz and reads back as that row's codecs.
TEST_F(JobTest, EveryFormatOfEveryListConvertsAndProbesBack) {
  MediaSpec spec = testsupport::Clip(1.0, 160, 120);
  spec.sampleRate = 48000;
  std::string source = Media("clip.mp4", spec);
  struct Case {
    ConvertKind kind;
    const char* token;
    const char* file;   // the file's extension
    const char* video;  // codec names; "" for none
    const char* audio;
    int sampleRate;     // 0: not looked at
  } cases[] = {
      {ConvertKind::Video, "mp4", "mp4", "h264", "aac", 0},
      {ConvertKind::Video, "mkv", "mkv", "h264", "aac", 0},
      {ConvertKind::Video, "avi", "avi", "h264", "aac", 0},
      {ConvertKind::Video, "wmv", "wmv", "h264", "aac", 0},
      {ConvertKind::Video, "flv", "flv", "h264", "aac", 0},
      {ConvertKind::Video, "mov", "mov", "h264", "aac", 0},
      {ConvertKind::Gif, "gif", "gif", "gif", "", 0},
      {ConvertKind::Audio, "mp3", "mp3", "", "mp3", 44100},
      {ConvertKind::Audio, "m4a", "m4a", "", "aac", 44100},
      {ConvertKind::Video, "webm", "webm", "vp9", "opus", 48000},
      {ConvertKind::Video, "hevc", "mp4", "hevc", "aac", 0},
      {ConvertKind::Video, "av1", "webm", "av1", "opus", 48000},
      // Lossless files keep the source's rate.
      {ConvertKind::Audio, "flac", "flac", "", "flac", 48000},
      {ConvertKind::Audio, "wav", "wav", "", "pcm_s16le", 48000},
      {ConvertKind::Audio, "opus", "opus", "", "opus", 48000},
  };
  // A row the table gains is a case here too.
  ASSERT_EQ(std::size(cases), OutputFormats().size());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    auto item = Prepared(source, c.kind, c.token);
    ASSERT_TRUE(ListOffersFormat(c.kind, item->outputFormat));
    ASSERT_EQ(Convert(item), WM_CONVERT_PROGRESS) << reason_;
    EXPECT_EQ(output_, out_ + "clip." + c.file);
    PartFormat f = ProbePartFormat(output_);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.videoCodec, c.video);
    EXPECT_EQ(f.audioCodec, c.audio);
    if (c.sampleRate > 0) {
      EXPECT_EQ(f.sampleRate, c.sampleRate);
    }
    if (c.video[0] != '\0') {
      EXPECT_EQ(f.width, 160);
      EXPECT_EQ(f.height, 120);
    }
    EXPECT_NEAR(f.seconds, 1.0, 0.25);
    // HEVC in MP4 as players outside FFmpeg want it.
    if (std::string(c.video) == "hevc") {
      EXPECT_EQ(VideoTag(output_), "hvc1");
    }
    // HEVC and AV1 write .mp4 and .webm: the next case's file of that
    // name must not be taken for a rename.
    platform::DeleteFile(output_);
  }
  EXPECT_EQ(recorder_.Count(WM_CONVERT_START_FAILED), 0);
  // Nothing of the jobs is left in the log folder.
  EXPECT_EQ(platform::EmptyFolder(dirs_.log), 0);
}

TEST_F(JobTest, TrimAndCropEndUpInTheOutput) {
  auto item = Prepared(Media("long.mp4", testsupport::Clip(4.0, 320, 240)), ConvertKind::Video, "mkv");
  item->trimStart = 1;
  item->trimEnd = 3;
  item->cropX = 10;
  item->cropY = 20;
  item->cropWidth = 102;
  item->cropHeight = 80;
  ASSERT_EQ(Convert(item), WM_CONVERT_PROGRESS) << reason_;
  media::MediaInfo out;
  media::ProbeMedia(output_, out);
  EXPECT_EQ(out.width, 102);
  EXPECT_EQ(out.height, 80);
  EXPECT_EQ(out.durationText, "00:00:02");
  // Progress of the kept range climbs without wrapping and never shows 100 early.
  for (const Message& m : recorder_.Messages())
    if (m.msg == WM_CONVERT_PROGRESS && m.lParam != 100) {
      EXPECT_LT(m.lParam, 100);
    }
}

// A phone's HDR clip (PQ or HLG) comes out of every picture list as an 8-bit
// BT.709 picture that looks like the clip's SDR rendering, not like the
// washed-out picture its curve gives when read as SDR.
TEST_F(JobTest, HighDynamicRangeClipsComeOutAsSdr) {
  MediaSpec spec = testsupport::Clip(1.0, 320, 240);
  spec.pattern = "testsrc2";
  const testsupport::PictureLook want = testsupport::LookOfPicture(Media("sdr.mp4", spec));
  ASSERT_GT(want.saturation, 0);
  for (const char* curve : {"pq", "hlg"}) {
    spec.hdr = curve;
    const std::string source = Media(std::string(curve) + ".mp4", spec);
    // The same conversion with the curve unread: what the output was before.
    auto washed = Prepared(source, ConvertKind::Video, "mkv");
    washed->colorTransfer.clear();
    ASSERT_EQ(Convert(washed), WM_CONVERT_PROGRESS) << reason_;
    const testsupport::PictureLook before = testsupport::LookOfPicture(output_);

    struct Case {
      ConvertKind kind;
      const char* ext;
    } cases[] = {
        {ConvertKind::Video, "mp4"}, {ConvertKind::Merge, "mp4"}, {ConvertKind::Gif, "gif"}};
    for (const Case& c : cases) {
      const std::string name = std::string(curve) + " to " + c.ext + " of list " +
                               std::to_string(static_cast<int>(c.kind));
      auto item = Prepared(source, c.kind, c.ext);
      ASSERT_TRUE(item->HighDynamicRange()) << name;
      ASSERT_EQ(Convert(item), WM_CONVERT_PROGRESS) << name << ": " << reason_;
      const testsupport::PictureLook got = testsupport::LookOfPicture(output_);
      if (c.kind != ConvertKind::Gif) {
        EXPECT_EQ(got.pixelFormat, "yuv420p") << name;
        media::MediaInfo marks;
        media::ProbeMedia(output_, marks);
        EXPECT_EQ(marks.colorTransfer, "bt709") << name;
        EXPECT_EQ(marks.colorPrimaries, "bt709") << name;
        EXPECT_EQ(marks.colorMatrix, "bt709") << name;
      }
      const std::string figures = platform::Format(
          "%s: luma %.1f, saturation %.1f; SDR %.1f, %.1f; washed out %.1f, %.1f", name.c_str(),
          got.luma, got.saturation, want.luma, want.saturation, before.luma, before.saturation);
      EXPECT_NEAR(got.luma, want.luma, 12) << figures;
      EXPECT_LT(std::abs(got.saturation - want.saturation),
                std::abs(before.saturation - want.saturation) / 2)
          << figures;
      // HLG read as SDR keeps about its brightness, only its colours fade;
      // PQ read so is dimmer as well.
      if (std::string(curve) == "pq") {
        EXPECT_LT(std::abs(got.luma - want.luma), std::abs(before.luma - want.luma)) << figures;
      }
    }
  }
}

// A GIF takes its colours from its own clip: a natural picture keeps its
// likeness (the encoder's fixed palette gives about 0.6 here), also over a
// kept range, and the run ends at 100 like any other.
TEST_F(JobTest, GifsGetAPaletteOfTheirOwn) {
  MediaSpec spec = testsupport::Clip(3.0, 320, 240);
  spec.pattern = "mandelbrot";
  spec.audioChannels = 0;
  const std::string source = Media("natural.mp4", spec);
  struct Case {
    const char* name;
    int trimStart, trimEnd;
  } cases[] = {{"the whole clip", 0, 3}, {"its second second", 1, 2}};
  for (const Case& c : cases) {
    auto item = Prepared(source, ConvertKind::Gif, "gif");
    item->trimStart = c.trimStart;
    item->trimEnd = c.trimEnd;
    ASSERT_EQ(Convert(item), WM_CONVERT_PROGRESS) << c.name << ": " << reason_;
    EXPECT_NEAR(MediaSeconds(output_), c.trimEnd - c.trimStart, 0.1) << c.name;
    const double likeness = testsupport::PictureSimilarity(output_, source, c.trimStart);
    EXPECT_GT(likeness, 0.9) << c.name;
    if (c.trimStart > 0) {
      // The frames are the kept ones: the clip's start looks less alike.
      EXPECT_LT(testsupport::PictureSimilarity(output_, source), likeness - 0.05) << c.name;
    }
    // The bar never goes back and shows 100 only at the end.
    int last = 0;
    for (const Message& m : recorder_.Messages()) {
      if (m.wParam != item.get() || m.msg != WM_CONVERT_PROGRESS) continue;
      EXPECT_GE(m.lParam, last) << c.name;
      EXPECT_NE(last, 100) << c.name;
      last = static_cast<int>(m.lParam);
    }
    EXPECT_EQ(last, 100) << c.name;
  }
}

TEST_F(JobTest, AnExistingOutputIsKeptAndTheNewOneRenamed) {
  std::string source = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  WriteText(out_ + "clip.mp4", "the user's own file");
  auto item = Prepared(source, ConvertKind::Video, "mp4");
  auto job = std::make_shared<CUtilTransform>(item.get(), &recorder_, dirs_);
  job->Start();
  ASSERT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(60)));
  ASSERT_EQ(FinalMessages(recorder_.Messages(), item.get()), std::vector<int>{WM_CONVERT_PROGRESS})
      << job->FailureReason();
  EXPECT_EQ(job->OutputName(), "clip_0_" + item->itemId);
  EXPECT_EQ(job->OutputPath(), out_ + "clip_0_" + item->itemId + ".mp4");
  EXPECT_TRUE(OutputHasStreams(job->OutputPath()));
  EXPECT_EQ(ReadText(out_ + "clip.mp4"), "the user's own file");
  // The job's choice stays in the job: the owner copies it when it wants it.
  EXPECT_EQ(item->outputName, "clip");
  EXPECT_EQ(item->outputPath, "");
}

TEST_F(JobTest, AMissingTranscoderFailsToStart) {
  std::string source = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  auto item = Prepared(source, ConvertKind::Video, "mp4");
  std::string path = getenv("PATH");
  setenv("PATH", sandbox().path("empty").c_str(), 1);
  int result = Convert(item);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(result, WM_CONVERT_START_FAILED);  // and no WM_CONVERT_FAILED besides
  EXPECT_NE(reason_.find("ffmpeg"), std::string::npos) << reason_;
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
}

TEST_F(JobTest, FailuresAreNeverReportedAsSuccessAndLeaveNoOutput) {
  std::string good = Media("clip.mp4", testsupport::Clip(2.0, 160, 120));
  std::string corrupt = path("corrupt.mp4");
  WriteText(corrupt, std::string(4096, '\x17'));
  // A name taken three times over: the transcoder must not even start.
  auto taken = Prepared(good, ConvertKind::Video, "mp4");
  WriteText(out_ + "clip.mp4", "x");
  std::string name = "clip";
  for (int i = 0; i < 3; ++i) {
    name += "_" + std::to_string(i) + "_" + taken->itemId;
    WriteText(out_ + name + ".mp4", "x");
  }
  const std::vector<std::string> planted = FolderEntries(out_);

  struct Case {
    const char* name;
    std::shared_ptr<VideoItem> item;
  } cases[] = {
      {"corrupt source", Prepared(corrupt, ConvertKind::Video, "mp4")},
      // The transcoder writes its final block and exits 0 for a cut past the end.
      {"cut past the end", [&] {
         auto item = Prepared(good, ConvertKind::Video, "mkv");
         item->trimStart = 10;
         item->trimEnd = 12;
         return item;
       }()},
      {"name taken", taken},
      // A GIF's cut is in its graph: nothing comes out of it either.
      {"GIF cut past the end", [&] {
         auto item = Prepared(good, ConvertKind::Gif, "gif");
         item->trimStart = 10;
         item->trimEnd = 12;
         return item;
       }()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Convert(c.item), WM_CONVERT_FAILED) << c.name;
    EXPECT_FALSE(reason_.empty()) << c.name;
    // Only the files that were there before: no result, no private folder.
    EXPECT_EQ(FolderEntries(out_), planted) << c.name;
  }
  EXPECT_EQ(ReadText(out_ + "clip.mp4"), "x");
  EXPECT_EQ(recorder_.Count(WM_CONVERT_PROGRESS, taken.get()), 0);
}

TEST_F(JobTest, StopKillsTheTranscoderAtOncePostsNothingAndCleansUp) {
  auto item = Prepared(Media("long.mp4", testsupport::Clip(30.0, 640, 480)), ConvertKind::Video, "mkv");
  auto job = std::make_shared<CUtilTransform>(item.get(), &recorder_, dirs_);
  job->Start();
  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, item.get())) << "never ran";
  const std::vector<int> pids = ChildTranscoderPids();
  ASSERT_EQ(pids.size(), 1u);
  // Frozen, the transcoder never ends by itself: only a kill ends it. Should
  // the stop wait for it instead, the test kills it and fails.
  ASSERT_EQ(kill(pids[0], SIGSTOP), 0);
  platform::Event stopped;
  std::thread stopper([&] {
    job->Stop();
    stopped.set();
  });
  const bool ended = stopped.waitFor(std::chrono::seconds(60));
  if (!ended) kill(pids[0], SIGKILL);  // not reaped yet: still our child
  stopper.join();
  EXPECT_TRUE(ended) << "the stop waited for the transcoder";
  size_t seen = recorder_.Messages().size();
  EXPECT_EQ(ChildTranscoders(), 0);
  EXPECT_EQ(job->Verdict(), JobVerdict::Stopped);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{}) << "the private folder stayed";
  EXPECT_EQ(platform::EmptyFolder(dirs_.log), 0);
  // Both threads are joined: nothing can come after the stop.
  EXPECT_TRUE(job->ReportsEnded().isSet());
  job.reset();
  EXPECT_EQ(recorder_.Messages().size(), seen);
  for (const Message& m : recorder_.Messages()) EXPECT_NE(m.msg, WM_CONVERT_FAILED);
}

TEST_F(JobTest, JobsOfOneNameKeepTheirOwnProgressFiles) {
  // Two sources called clip in two folders, each converted into a folder of its own.
  platform::CreateFolders(path("a"));
  platform::CreateFolders(path("b"));
  std::string longSource = path("a/clip.mp4"), shortSource = path("b/clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(longSource, testsupport::Clip(30.0, 640, 480)), "");
  ASSERT_EQ(testsupport::MakeMedia(shortSource, testsupport::Clip(1.0, 160, 120)), "");
  auto running = Prepared(longSource, ConvertKind::Video, "mkv");
  running->outputDir = out_ + "a/";
  auto quick = Prepared(shortSource, ConvertKind::Video, "mkv");
  quick->outputDir = out_ + "b/";
  platform::CreateFolders(running->outputDir);
  platform::CreateFolders(quick->outputDir);

  auto job = std::make_shared<CUtilTransform>(running.get(), &recorder_, dirs_);
  job->Start();
  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, running.get()));
  // A job of the same name starts, finishes and is destroyed meanwhile.
  ASSERT_EQ(Convert(quick), WM_CONVERT_PROGRESS) << reason_;

  // The running job still follows its own progress: two more reports (the
  // first may have been read before the other job ended) or its end.
  const size_t seen = recorder_.Messages().size();
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>& list) {
    int reports = 0;
    for (size_t i = seen; i < list.size(); ++i) {
      if (list[i].wParam != running.get()) continue;
      if (list[i].msg != WM_CONVERT_PROGRESS || list[i].lParam == 100) return true;
      ++reports;
    }
    return reports >= 2;
  }));
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED, running.get()), 0) << job->FailureReason();
  job->Stop();
}


}  // namespace

namespace {

TEST_F(JobTest, TwoJobsOfOneNameKeepBothResultsAndAStopRemovesOnlyItsOwn) {
  // Both jobs named their output before either finished: the name was free
  // for both. Each must end under a name of its own, and stopping one must
  // not touch what the other finished.
  const std::string quickSource = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  platform::CreateFolders(path("slow"));
  const std::string slowSource = path("slow/clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(slowSource, testsupport::Clip(30.0, 640, 480)), "");
  auto slow = Prepared(slowSource, ConvertKind::Video, "mp4");
  auto quick = Prepared(quickSource, ConvertKind::Video, "mp4");
  auto other = Prepared(quickSource, ConvertKind::Video, "mp4");

  auto running = std::make_shared<CUtilTransform>(slow.get(), &recorder_, dirs_);
  running->Start();
  auto first = std::make_shared<CUtilTransform>(quick.get(), &recorder_, dirs_);
  auto second = std::make_shared<CUtilTransform>(other.get(), &recorder_, dirs_);
  first->Start();
  second->Start();
  EXPECT_EQ(running->OutputPath(), out_ + "clip.mp4");
  EXPECT_EQ(first->OutputPath(), out_ + "clip.mp4");
  ASSERT_TRUE(first->ReportsEnded().waitFor(std::chrono::seconds(60)));
  ASSERT_TRUE(second->ReportsEnded().waitFor(std::chrono::seconds(60)));
  ASSERT_EQ(first->Verdict(), JobVerdict::Succeeded) << first->FailureReason();
  ASSERT_EQ(second->Verdict(), JobVerdict::Succeeded) << second->FailureReason();
  const std::string a = first->OutputPath(), b = second->OutputPath();
  EXPECT_NE(a, b);
  for (const std::string& done : {a, b}) {
    EXPECT_EQ(platform::ParentDir(done) + "/", out_);
    EXPECT_TRUE(OutputHasStreams(done)) << done;
  }
  // The other job's clash name is built from its own item's id.
  const bool firstTookTheName = a == out_ + "clip.mp4";
  EXPECT_EQ(firstTookTheName ? b : a,
            out_ + "clip_0_" + (firstTookTheName ? other : quick)->itemId + ".mp4");

  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, slow.get())) << "never ran";
  running->Stop();
  EXPECT_EQ(running->Verdict(), JobVerdict::Stopped);
  EXPECT_TRUE(OutputHasStreams(a));
  EXPECT_TRUE(OutputHasStreams(b));
  // Nothing but the two results: the stopped job's unfinished file went.
  std::vector<std::string> expected = {platform::FileNameOf(a), platform::FileNameOf(b)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(out_), expected);
}

}  // namespace
