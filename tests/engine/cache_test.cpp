// Jobs of the cache formats, with small scripts in the plugin folder standing
// in for the converters; the transcoder after them is the real one.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "engine/cache_transform.h"
#include "engine/timing.h"
#include "engine/video_item.h"
#include "media/probe.h"
#include "platform/byte_size.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

constexpr auto kLong = std::chrono::hours(1);

class CacheJobTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    platform::CreateFolders(dirs_.plugin + "kux");
    ASSERT_TRUE(dirs_.Ensure());
    // Interim steps that never come unless a test wants them: the bar must
    // then show the chain's final value at once.
    Timing().kuxStepPause = kLong;
    Timing().cacheStepPause = kLong;
    Timing().randomStepPauses = false;
  }

  // A converter script in the plugin folder ("kux/ffmpeg", "qlvconvert", "qsvconvert").
  void Helper(const std::string& name, const std::string& body) {
    const std::string file = dirs_.plugin + name;
    WriteText(file, "#!/bin/sh\n" + body + "\n");
    ASSERT_EQ(chmod(file.c_str(), 0755), 0);
  }

  // A cache file of the given size (sparse), analysed and with the window's
  // queue-time values.
  std::shared_ptr<VideoItem> CacheItem(const std::string& name, int64_t size = 4096) {
    const std::string file = path(name);
    WriteText(file, "cache");
    EXPECT_EQ(truncate(file.c_str(), size), 0);
    auto item = std::make_shared<VideoItem>(file, ConvertKind::Video);
    ProbeItem(*item);
    item->outputDir = out_;
    item->outputExtension = "mp4";
    item->analysed = true;
    keep_.push_back(item);
    return item;
  }

  // Starts the job and waits until it reports nothing more.
  int Run(const std::shared_ptr<VideoItem>& item) {
    auto job = MakeJob(item.get(), &recorder_, dirs_);
    job->Start();
    EXPECT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(120)));
    reason_ = job->FailureReason();
    output_ = job->OutputPath();
    base_ = job->ProgressBase();
    job->Stop();
    return FinalMessage(item.get());
  }

  // The one message that ended the item's run (a run reports exactly one).
  int FinalMessage(const VideoItem* item) {
    std::vector<int> finals;
    for (const Message& m : recorder_.Messages())
      if (m.wParam == item && (m.msg == WM_CONVERT_FAILED || m.msg == WM_CONVERT_START_FAILED ||
                               (m.msg == WM_CONVERT_PROGRESS && m.lParam == 100)))
        finals.push_back(m.msg);
    EXPECT_EQ(finals.size(), 1u);
    return finals.empty() ? 0 : finals.front();
  }

  std::vector<int> Percentages(const VideoItem* item) {
    std::vector<int> values;
    for (const Message& m : recorder_.Messages())
      if (m.wParam == item && m.msg == WM_CONVERT_PROGRESS) values.push_back(int(m.lParam));
    return values;
  }

  // The scratch folder's entries that belong to the item.
  std::vector<std::string> ScratchOf(const VideoItem& item) {
    std::vector<std::string> own;
    for (const std::string& name : FolderEntries(dirs_.scratch))
      if (name.compare(0, item.itemId.size(), item.itemId) == 0) own.push_back(name);
    return own;
  }

  Recorder recorder_;
  std::string reason_;
  std::string output_;
  int base_ = 0;
  std::vector<std::shared_ptr<VideoItem>> keep_;
};

// Each format's chain: what the scratch folder keeps, what the conversion
// reads, and the bar showing the chain's value at once when it ends quickly.
TEST_F(CacheJobTest, ChainsHandTheirVideoToTheTranscoder) {
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  const std::string flv = Media("clip.flv", testsupport::Clip(1.0, 160, 120));
  // Another item's intermediate file must survive every chain.
  WriteText(dirs_.scratch + "9_1.mp4", "someone else's");
  Helper("kux/ffmpeg", "for a; do last=$a; done; cp '" + mp4 + "' \"$last\"");
  // The QLV converter leaves its temporary and bare-id files beside the MP4.
  Helper("qlvconvert", "echo tmp > \"$2\"; cp '" + mp4 + "' \"$3\"; echo part > \"$4\"");
  Helper("qsvconvert", "cp '" + flv + "' \"$2\"");
  struct Case {
    const char* file;
    int interim;
    const char* kept;  // the only file of the item left in the scratch folder
  } cases[] = {{"a.kux", 10, ".mp4"}, {"b.qlv", 25, ".ts"}, {"c.QSV", 25, ".flv"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    auto item = CacheItem(c.file);
    EXPECT_EQ(Run(item), WM_CONVERT_PROGRESS) << reason_;
    const std::string kept = dirs_.scratch + item->itemId + c.kept;
    EXPECT_EQ(ScratchOf(*item), std::vector<std::string>{item->itemId + c.kept});
    EXPECT_EQ(item->sourcePath, kept);
    EXPECT_EQ(item->cachePath, path(c.file));
    const std::vector<int> shown = Percentages(item.get());
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), c.interim);
    EXPECT_GE(*std::min_element(shown.begin(), shown.end()), c.interim);
    EXPECT_EQ(base_, c.interim);
    // The row learnt the new file's length and got a cover of it.
    EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, item.get()), 1);
    EXPECT_EQ(item->durationSeconds, 1);
    EXPECT_TRUE(platform::IsRegularFile(item->coverPath));
    media::MediaInfo info;
    EXPECT_TRUE(media::ProbeMedia(output_, info).pictureFound) << output_;
  }
  EXPECT_EQ(ReadText(dirs_.scratch + "9_1.mp4"), "someone else's");
}

// A chain that fails reports once, as a start failure with the converter's
// own words, runs no transcoder and leaves none of its files behind.
TEST_F(CacheJobTest, FailedChainReportsOnceAndCleansUp) {
  TranscoderWatch watch(path("watch"));
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  WriteText(dirs_.scratch + "9_1.mp4", "someone else's");
  struct Case {
    const char* file;
    const char* helper;
    const char* script;
    const char* said;  // what the reason must quote
  } cases[] = {
      // A remux that dies halfway leaves a partial file behind.
      {"a.kux", "kux/ffmpeg",
       "for a; do last=$a; done; echo partial > \"$last\"; echo 'kux: bad header' >&2; exit 1",
       "kux: bad header"},
      // Temporary files but no MP4.
      {"b.qlv", "qlvconvert",
       "echo tmp > \"$2\"; echo part > \"$4\"; echo 'no converter reads this QLV' >&2; exit 2",
       "no converter reads this QLV"},
      // An MP4 the transcoder cannot remux.
      {"c.qlv", "qlvconvert", "echo 'not a video' > \"$3\"", "did not make"},
      {"d.qsv", "qsvconvert", "echo 'unknown QSV version 7' >&2; exit 3", "unknown QSV version 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Helper(c.helper, c.script);
    auto item = CacheItem(c.file);
    EXPECT_EQ(Run(item), WM_CONVERT_START_FAILED);
    EXPECT_NE(reason_.find(c.said), std::string::npos) << reason_;
    EXPECT_EQ(reason_.find('\n'), std::string::npos) << reason_;
    EXPECT_EQ(ScratchOf(*item), std::vector<std::string>{});
    EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, item.get()), 0);
  }
  EXPECT_EQ(watch.Started(), 0);
  EXPECT_EQ(ReadText(dirs_.scratch + "9_1.mp4"), "someone else's");
}

TEST_F(CacheJobTest, MissingConverterIsAStartFailure) {
  auto item = CacheItem("a.qsv");
  EXPECT_EQ(Run(item), WM_CONVERT_START_FAILED);
  EXPECT_NE(reason_.find("QSV converter could not be started"), std::string::npos) << reason_;
}

// The QSV converter's output is judged by its size against the cache file's:
// a small one means the video is in the ".mp4" companion.
TEST_F(CacheJobTest, QsvSmallOutputTakesTheCompanion) {
  const std::string flv = Media("clip.flv", testsupport::Clip(1.0, 160, 120));
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(2.0, 160, 120));
  const int64_t flvSize = platform::FileSize(flv);
  const int64_t mp4Size = platform::FileSize(mp4);
  const int64_t mb = 1024 * 1024;
  struct Case {
    const char* name;
    int64_t cacheSize;
    std::string flvScript;  // makes "$2"
    bool companion;
    const char* used;  // suffix of the source the conversion reads; "" = failure
    int seconds;
  } cases[] = {
      // 5 MB out of 100 MB: the companion holds the video.
      {"small", 100 * mb, "truncate -s 5M \"$2\"", true, ".flv.mp4", 2},
      // Exactly a tenth: the FLV is the video, the companion goes.
      {"tenth", 10 * flvSize, "cp '" + flv + "' \"$2\"", true, ".flv", 1},
      // Small and alone: nothing to convert, said at once.
      {"alone", 100 * mb, "truncate -s 5M \"$2\"", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Helper("qsvconvert", c.flvScript + (c.companion ? "; cp '" + mp4 + "' \"$2.mp4\"" : ""));
    auto item = CacheItem(std::string(c.name) + ".qsv", c.cacheSize);
    const std::string cacheSizeText = item->fileSizeText;
    const int final = Run(item);
    const std::string id = item->itemId;
    if (std::string(c.used).empty()) {
      EXPECT_EQ(final, WM_CONVERT_START_FAILED);
      EXPECT_NE(reason_.find(id + ".flv.mp4"), std::string::npos) << reason_;
      EXPECT_NE(reason_.find("5.00 MB"), std::string::npos) << reason_;
      EXPECT_EQ(ScratchOf(*item), std::vector<std::string>{});
      EXPECT_EQ(item->sourcePath, path(std::string(c.name) + ".qsv"));
      continue;
    }
    EXPECT_EQ(final, WM_CONVERT_PROGRESS) << reason_;
    EXPECT_EQ(item->sourcePath, dirs_.scratch + id + c.used);
    EXPECT_EQ(ScratchOf(*item), std::vector<std::string>{id + c.used});
    EXPECT_EQ(item->durationSeconds, c.seconds);
    EXPECT_EQ(item->fileSize, c.cacheSize);  // the size rule keeps the cache file's size
    EXPECT_EQ(item->fileSizeText, std::string(c.used) == ".flv.mp4"
                                      ? platform::StrFormatByteSize(mp4Size)
                                      : cacheSizeText);
  }
}

// Interim steps come while the converter works; when they run out the bar
// stays where it was, and the conversion goes on from there.
TEST_F(CacheJobTest, InterimStepsThatRunOutKeepTheLastStep) {
  Timing().kuxStepPause = std::chrono::milliseconds(2);
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(3.0, 160, 120));
  const std::string flag = path("go");
  Helper("kux/ffmpeg", "while [ ! -e '" + flag + "' ]; do sleep 0.02; done\n"
                       "for a; do last=$a; done; cp '" + mp4 + "' \"$last\"");
  auto item = CacheItem("a.kux");
  auto job = MakeJob(item.get(), &recorder_, dirs_);
  job->Start();
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>& list) {
    return std::any_of(list.begin(), list.end(), [&](const Message& m) {
      return m.wParam == item.get() && m.msg == WM_CONVERT_PROGRESS && m.lParam == 10;
    });
  }));
  WriteText(flag, "");
  ASSERT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(120)));
  EXPECT_EQ(job->ProgressBase(), 10);
  job->Stop();
  EXPECT_EQ(FinalMessage(item.get()), WM_CONVERT_PROGRESS);
  std::vector<int> shown = Percentages(item.get());
  const std::vector<int> steps = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_GE(shown.size(), steps.size());
  EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 11), steps);
  EXPECT_GE(*std::min_element(shown.begin() + 11, shown.end()), 10);
}

// Stopping while the converter runs ends it at once, reports nothing and
// removes what it wrote.
TEST_F(CacheJobTest, StopDuringTheChainEndsTheConverter) {
  const std::string pidFile = path("helper.pid");
  Helper("qlvconvert", "echo tmp > \"$2\"; echo $$ > '" + pidFile + "'; exec sleep 300");
  auto item = CacheItem("a.qlv");
  auto job = MakeJob(item.get(), &recorder_, dirs_);
  job->Start();
  int pid = 0;
  for (int i = 0; i < 6000 && pid == 0; ++i) {
    pid = atoi(ReadText(pidFile).c_str());
    if (pid == 0) usleep(10000);
  }
  ASSERT_GT(pid, 0) << "the converter did not start";
  job->Stop();
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
  EXPECT_EQ(recorder_.Messages().size(), 0u);
  EXPECT_EQ(ScratchOf(*item), std::vector<std::string>{});
  EXPECT_EQ(job->Verdict(), JobVerdict::Stopped);
}

// A converted item is converted again from its cache file, not from the
// intermediate file it was last pointed at.
TEST_F(CacheJobTest, ConvertingAgainReadsTheCacheFile) {
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  const std::string seen = path("inputs");
  Helper("kux/ffmpeg",
         "while [ $# -gt 0 ]; do [ \"$1\" = -i ] && echo \"$2\" >> '" + seen +
             "'; last=$1; shift; done; cp '" + mp4 + "' \"$last\"");
  auto item = CacheItem("a.kux");
  EXPECT_EQ(Run(item), WM_CONVERT_PROGRESS) << reason_;
  recorder_.Clear();
  EXPECT_EQ(Run(item), WM_CONVERT_PROGRESS) << reason_;
  EXPECT_EQ(ReadText(seen), path("a.kux") + "\n" + path("a.kux") + "\n");
}

// The new source reaches the item on the owner's thread, while the owner
// handles the refresh: until then the item is as the owner knows it.
TEST_F(CacheJobTest, OwnerPutsTheNewSourceInWhileHandlingTheRefresh) {
  const std::string mp4 = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  Helper("kux/ffmpeg", "for a; do last=$a; done; cp '" + mp4 + "' \"$last\"");
  auto item = CacheItem("a.kux");
  recorder_.HoldSends(true);
  auto job = MakeJob(item.get(), &recorder_, dirs_);
  job->Start();
  ASSERT_TRUE(recorder_.WaitFor(WM_ITEM_INFO_CHANGED, item.get()));
  EXPECT_EQ(item->sourcePath, path("a.kux"));
  EXPECT_EQ(item->durationSeconds, 0);
  EXPECT_TRUE(TakeSourceUpdate(*item));
  EXPECT_EQ(item->sourcePath, dirs_.scratch + item->itemId + ".mp4");
  EXPECT_EQ(item->durationSeconds, 1);
  EXPECT_TRUE(platform::IsRegularFile(item->coverPath));
  EXPECT_EQ(item->cachePath, path("a.kux"));
  recorder_.HoldSends(false);
  ASSERT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(120)));
  job->Stop();
  EXPECT_EQ(FinalMessage(item.get()), WM_CONVERT_PROGRESS);
}

}  // namespace
