// The converters of the plugin folder as the build lays them out, with the
// real ffmpeg: our QSV converter on files the tests build, and whole
// conversions of cache files through the engine and through pelmar-convert.
#include <algorithm>

#include "engine/cache_transform.h"
#include "engine/timing.h"
#include "engine/video_item.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"
#include "tests/plugin/cache_files.h"

using namespace engine;
using namespace enginetest;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

const std::string kPlugin = PELMAR_PLUGIN_DIR;

struct Outcome {
  int code;
  std::string err;
};

class PluginTest : public EngineTest {
 protected:
  Outcome Program(const std::vector<std::string>& argv) {
    platform::ProcessOptions options;
    options.stderrFile = path("stderr.txt");
    Outcome r;
    r.code = platform::RunAndWait(argv, options);
    r.err = ReadText(path("stderr.txt"));
    return r;
  }

  const std::vector<std::string>& Segments(const std::string& container) {
    std::vector<std::string>& cut = container == "flv" ? flv_ : ts_;
    if (cut.empty()) cut = cachefiles::ClipSegments(path("cut-" + container), container, 3);
    EXPECT_EQ(cut.size(), 3u) << "cutting the clip into " << container << " segments";
    return cut;
  }

  std::string Qsv(const std::string& name, uint32_t version) {
    const std::string file = path(name);
    WriteText(file, cachefiles::QsvBytes(version, Segments(version == 1 ? "flv" : "mpegts")));
    return file;
  }

  std::string Kux(const std::string& name) {
    // What the KUX demuxer knows: H.264 and AAC in FLV.
    testsupport::MediaSpec spec = testsupport::Clip(3.0, 160, 120);
    spec.videoCodec = "libx264";
    spec.audioCodec = "aac";
    const std::string flv = Media("for-kux.flv", spec);
    const std::string file = path(name);
    EXPECT_TRUE(cachefiles::WriteKux(file, ReadText(flv)));
    return file;
  }

  // Length in whole seconds, and whether picture and sound are there.
  static std::string Shape(const std::string& file) {
    media::MediaInfo info;
    media::ProbeReport report = media::ProbeMedia(file, info);
    return platform::Format("%ds %s %s", info.durationSeconds,
                            report.pictureFound ? "picture" : "no picture",
                            info.audioBitRateText.empty() ? "no sound" : "sound");
  }

  std::vector<std::string> flv_, ts_;
};

// Both versions of the format become a video of the whole length, where the
// engine expects it.
TEST_F(PluginTest, QsvConverterJoinsEveryVersionItReads) {
  struct Case {
    uint32_t version;
    const char* video;  // what holds the video
    bool emptyFlv;      // the .flv only says "look in the companion"
  } cases[] = {{1, "out.flv", false}, {2, "out.flv.mp4", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    const std::string dir = path("v" + std::to_string(c.version));
    platform::CreateFolders(dir);
    const std::string source = Qsv("v" + std::to_string(c.version) + ".qsv", c.version);
    Outcome r = Program({kPlugin + "qsvconvert", source, dir + "/out.flv"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Shape(dir + "/" + c.video), "3s picture sound");
    EXPECT_EQ(platform::FileSize(dir + "/out.flv") == 0, c.emptyFlv);
    std::vector<std::string> expected = {"out.flv"};
    if (c.emptyFlv) expected.push_back("out.flv.mp4");
    EXPECT_EQ(FolderEntries(dir), expected);
  }
}

// What the converter cannot read it says in one line, and leaves nothing.
TEST_F(PluginTest, QsvConverterRefusesWhatItCannotRead) {
  const std::string good = cachefiles::QsvBytes(1, Segments("flv"));
  auto patched = [&](size_t at, const std::string& bytes) {
    std::string damaged = good;
    damaged.replace(at, bytes.size(), bytes);
    return damaged;
  };
  // The second segment's entry (its offset field).
  const size_t secondOffsetAt = cachefiles::kQsvIndexAt + 28 + 16;
  std::string cutShort = good;
  cutShort.resize(good.size() - 100);
  std::string lastTagCut = cachefiles::QsvBytes(1, {Segments("flv")[0].substr(0, 600)});
  struct Case {
    const char* name;
    std::string bytes;
    const char* said;
  } cases[] = {
      {"no header", "just some bytes that are no video at all, " + std::string(200, 'x'),
       "not a QSV file"},
      {"unknown version", patched(cachefiles::kQsvVersionAt, cachefiles::LittleEndian(3, 4)),
       "QSV version 3 is not one this converter reads"},
      {"no segments", patched(cachefiles::kQsvCountAt, cachefiles::LittleEndian(0, 4)),
       "index is broken"},
      {"segment beyond the end", patched(secondOffsetAt, cachefiles::LittleEndian(1u << 30, 8)),
       "segment 2 lies outside the file"},
      {"file cut short", cutShort, "segment 3 lies outside the file"},
      {"segments of the other kind", cachefiles::QsvBytes(1, Segments("mpegts")),
       "segment 1 is not FLV"},
      {"tag cut in the middle", lastTagCut, "segment 1 ends inside an FLV tag"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = path(std::string("bad-") + c.name);
    platform::CreateFolders(dir);
    WriteText(dir + "/in.qsv", c.bytes);
    Outcome r = Program({kPlugin + "qsvconvert", dir + "/in.qsv", dir + "/out.flv"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("qsvconvert: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(FolderEntries(dir), std::vector<std::string>{"in.qsv"});
  }
}

// Whole conversions with the shipped converters: KUX and both QSV versions
// come out as videos of the full length; QLV fails with its reason.
TEST_F(PluginTest, CacheFilesConvertThroughTheEngine) {
  dirs_.plugin = kPlugin;
  Timing().kuxStepPause = std::chrono::milliseconds(50);
  Timing().cacheStepPause = std::chrono::milliseconds(50);
  Recorder recorder;
  std::vector<std::shared_ptr<VideoItem>> items = {
      std::make_shared<VideoItem>(Kux("film.kux"), ConvertKind::Video),
      std::make_shared<VideoItem>(Qsv("one.qsv", 1), ConvertKind::Video),
      std::make_shared<VideoItem>(Qsv("two.qsv", 2), ConvertKind::Video)};
  WriteText(path("sealed.qlv"), std::string(4096, 'q'));
  auto qlv = std::make_shared<VideoItem>(path("sealed.qlv"), ConvertKind::Video);
  items.push_back(qlv);
  for (const auto& item : items) {
    SCOPED_TRACE(item->cachePath);
    ProbeItem(*item);
    item->outputDir = out_;
    item->outputExtension = "mp4";
    item->analysed = true;
    auto job = MakeJob(item.get(), &recorder, dirs_);
    job->Start();
    ASSERT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(120)));
    const std::string reason = job->FailureReason();
    const std::string output = job->OutputPath();
    job->Stop();
    if (item == qlv) {
      EXPECT_EQ(recorder.Count(WM_CONVERT_START_FAILED, item.get()), 1);
      EXPECT_NE(reason.find("no converter can read QLV files"), std::string::npos) << reason;
      continue;
    }
    const std::vector<Message> sent = recorder.Messages();
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&](const Message& m) {
      return m.wParam == item.get() && m.msg == WM_CONVERT_PROGRESS && m.lParam == 100;
    })) << reason;
    EXPECT_EQ(Shape(output), "3s picture sound") << reason;
    EXPECT_EQ(recorder.Count(WM_ITEM_INFO_CHANGED, item.get()), 1);
  }
}

// The command-line front end takes cache files in the video list and reaches
// the same jobs; the sound list refuses them.
TEST_F(PluginTest, FrontEndConvertsCacheFiles) {
  const std::string kux = Kux("film.kux");
  const std::string qsv = Qsv("clip.qsv", 2);
  WriteText(path("sealed.qlv"), std::string(4096, 'q'));
  platform::CreateFolders(path("cli-out"));
  Outcome r = Program({PELMAR_CONVERT_PATH, "--out", path("cli-out"), kux, qsv});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Shape(path("cli-out/film.mp4")), "3s picture sound");
  EXPECT_EQ(Shape(path("cli-out/clip.mp4")), "3s picture sound");

  r = Program({PELMAR_CONVERT_PATH, "--out", path("cli-out"), path("sealed.qlv")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no converter can read QLV files"), std::string::npos) << r.err;

  r = Program({PELMAR_CONVERT_PATH, "--list", "audio", "--out", path("cli-out"), kux});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("do not take this kind of file"), std::string::npos) << r.err;
}

}  // namespace
