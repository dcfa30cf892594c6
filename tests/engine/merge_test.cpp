// Merging: parts made through the queue, then joined into one file.
#include <sys/stat.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/convert_queue.h"
#include "engine/format_catalog.h"
#include "engine/merge_join.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::MediaSpec;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

TEST(ConcatList, ApostrophesCannotBreakTheLine) {
  EXPECT_EQ(ConcatListText({"/home/O'Brien/a.mp4", "/tmp/b.mp4"}),
            "file '/home/O'\\''Brien/a.mp4'\r\nfile '/tmp/b.mp4'\r\n");
  EXPECT_EQ(ConcatListText({"/a.mp4", "/b.mp4"}, {2.0, 0}),
            "file '/a.mp4'\r\nduration 2.000000\r\nfile '/b.mp4'\r\n");
}

// A readable 320x240 part at 30 frames a second, stereo, 500 kbit/s.
PartFormat Part(const std::string& video, const std::string& encoder, const std::string& sound,
                int sampleRate) {
  PartFormat p;
  p.ok = true;
  p.videoCodec = video;
  p.videoEncoder = encoder;
  p.width = 320;
  p.height = 240;
  p.frameRateNum = 30;
  p.frameRateDen = 1;
  p.audioCodec = sound;
  p.sampleRate = sampleRate;
  p.channels = 2;
  p.videoBitRate = 500000;
  return p;
}

TEST(JoinPlanTest, CopiesWhenThePartsAgree) {
  PartFormat a = Part("h264", "libx264", "aac", 44100);
  PartFormat b = a;
  b.frameRateNum = 60;
  b.frameRateDen = 2;
  EXPECT_EQ(PlanJoin({a, b}, "mp4").mode, JoinMode::Copy);
  EXPECT_EQ(PlanJoin({a, b}, "avi").mode, JoinMode::CopyVideoEncodeAudio);
  b.width = 640;
  b.videoBitRate = 900000;
  JoinPlan plan = PlanJoin({a, b}, "mp4");
  EXPECT_EQ(plan.mode, JoinMode::Encode);
  EXPECT_EQ(plan.videoEncoder, "libx264");
  EXPECT_EQ(plan.videoBitRate, 900000);
  EXPECT_EQ(BuildJoinCommand("/l/p", "/s/list.txt", "/s/tags", "/o/M_1.mp4", plan).Display(),
            "ffmpeg -safe 0 -hide_banner -progress /l/p -y -protocol_whitelist file -f concat"
            " -i /s/list.txt -protocol_whitelist file -f ffmetadata -i /s/tags -map 0"
            " -map_metadata 1 -map_chapters 1 -c:v libx264 -b:v 900k -c:a aac /o/M_1.mp4");
  // A phone's keyed tags on the first part need MP4's keyed metadata.
  a.tags = {{"major_brand", "qt  "}, {"com.apple.quicktime.make", "Apple"}};
  EXPECT_TRUE(PlanJoin({a, a}, "mp4").keyedTags);
  EXPECT_FALSE(PlanJoin({a, a}, "mkv").keyedTags);
  a.tags = {{"major_brand", "qt  "}, {"creation_time", "2024-07-14T10:20:30Z"}};
  EXPECT_FALSE(PlanJoin({a, a}, "mp4").keyedTags);
}

TEST(JoinMetadata, FirstPartsTagsAndAChapterAPartEscaped) {
  EXPECT_EQ(JoinMetadataText({{"major_brand", "isom"},
                              {"creation_time", "2024-07-14T10:20:30Z"},
                              {"location", "+48.8584+002.2945/"}},
                             {"beach", "a=b;c#d\\e\nf\r"}, {2.5, 1.25}),
            ";FFMETADATA1\n"
            "creation_time=2024-07-14T10:20:30Z\n"
            "location=+48.8584+002.2945/\n"
            "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=2500\ntitle=beach\n"
            "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2500\nEND=3750\n"
            "title=a\\=b\\;c\\#d\\\\e\\\nf\n");
  // A part of unknown length ends the chapters there.
  EXPECT_EQ(JoinMetadataText({}, {"a", "b", "c"}, {1.0, 0, 1.0}),
            ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=a\n");
}

// Parts in WebM that must be encoded again keep Opus and VP9 at the parts'
// speed; the older containers keep their plan as it was.
TEST(JoinPlanTest, NewContainersEncodeWithTheirOwnCodecs) {
  PartFormat a = Part("vp9", "libvpx-vp9", "opus", 48000);
  PartFormat b = a;
  EXPECT_EQ(PlanJoin({a, b}, "webm", media::OutputFormat::Webm).mode, JoinMode::Copy);
  b.frameRateNum = 25;  // the first part at a frame rate of the settings
  const JoinPlan webm = PlanJoin({a, b}, "webm", media::OutputFormat::Webm);
  EXPECT_EQ(webm.mode, JoinMode::Encode);
  EXPECT_EQ(BuildJoinCommand("/l/p", "/s/list.txt", "/s/m", "/o/M_1.webm", webm).Display(),
            "ffmpeg -safe 0 -hide_banner -progress /l/p -y -protocol_whitelist file -f concat"
            " -i /s/list.txt -protocol_whitelist file -f ffmetadata -i /s/m -map 0"
            " -map_metadata 1 -map_chapters 1 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1 -b:v 500k -c:a libopus"
            " /o/M_1.webm");
  a.videoCodec = b.videoCodec = "av1";
  a.videoEncoder = b.videoEncoder = "libaom-av1";  // the first AV1 encoder, far too slow
  EXPECT_EQ(BuildJoinCommand("/l/p", "/s/l", "/s/m", "/o/M.webm",
                             PlanJoin({a, b}, "webm", media::OutputFormat::Av1))
                .Display(),
            "ffmpeg -safe 0 -hide_banner -progress /l/p -y -protocol_whitelist file -f concat"
            " -i /s/l -protocol_whitelist file -f ffmetadata -i /s/m -map 0 -map_metadata 1"
            " -map_chapters 1"
            " -c:v libsvtav1 -preset 12 -b:v 500k -c:a libopus /o/M.webm");
  a.videoCodec = b.videoCodec = "hevc";
  a.audioCodec = b.audioCodec = "aac";
  EXPECT_EQ(BuildJoinCommand("/l/p", "/s/l", "/s/m", "/o/M.mp4",
                             PlanJoin({a, b}, "mp4", media::OutputFormat::Hevc))
                .Display(),
            "ffmpeg -safe 0 -hide_banner -progress /l/p -y -protocol_whitelist file -f concat"
            " -i /s/l -protocol_whitelist file -f ffmetadata -i /s/m -map 0 -map_metadata 1"
            " -map_chapters 1"
            " -c:v libx265 -tag:v hvc1 -preset superfast -b:v 500k -c:a aac /o/M.mp4");
}

TEST(JoinLength, OnlyAClearlyShortJoinFails) {
  struct Case {
    double output, parts;
    size_t count;
    bool fails;
  } cases[] = {
      {3.0, 3.0, 2, false},
      {2.3, 3.2, 2, false},        // rounding and sound that outlasts the picture
      {3560, 3600, 10, false},     // a few percent of a long join
      {2.0, 5.0, 2, true},
      {2.0, 10.0, 3, true},
      {0, 5.0, 2, false},          // no length to judge by
      {5.0, 0, 2, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShortJoinReason(c.output, c.parts, c.count).empty(), !c.fails)
        << c.output << " of " << c.parts;
  EXPECT_EQ(ShortJoinReason(2.0, 5.0, 2),
            "the joined file holds 2.0 s of 5.0 s: a part could not be read");
}

class MergeTest : public EngineTest {
 protected:
  // Converts the sources as merge parts of one list and returns the request.
  // The format is named by its token ("hevc"); the files take its extension.
  MergeRequest MakeParts(const std::vector<std::string>& sources, const std::string& ext) {
    ConvertQueue queue(&recorder_, dirs_);
    std::vector<ItemPtr> items;
    media::OutputFormat format = media::OutputFormat::Mp4;
    EXPECT_TRUE(ParseFormatToken(ext, &format)) << ext;
    for (const std::string& s : sources) {
      auto item = std::make_shared<VideoItem>(s, ConvertKind::Merge);
      item->outputFormat = format;
      item->outputExtension = FormatExtension(format);
      item->outputName = "merge_" + item->itemId;
      item->sizePreset = media::SizePreset::Origin;
      items.push_back(item);
    }
    queue.AddForAnalysis(items);
    EXPECT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>&) {
      for (const ItemPtr& i : items)
        if (!i->analysed) return false;
      return true;
    }));
    MergeRequest request;
    for (const ItemPtr& i : items) {
      i->outputWidth = items.front()->width;  // the first part's size
      i->outputHeight = items.front()->height;
      i->state = ItemState::Queued;
      queue.Enqueue(i);
    }
    queue.Wake();
    EXPECT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>& list) {
      int done = 0;
      for (const Message& m : list)
        if (m.msg == WM_CONVERT_PROGRESS && m.lParam == 100) ++done;
      return done == static_cast<int>(items.size());
    })) << ext;
    for (const ItemPtr& i : items) {
      auto job = queue.JobOf(i.get());
      EXPECT_TRUE(job) << ext;
      if (job) request.parts.push_back(job->OutputPath());
      request.titles.push_back(i->title);
      request.totalSeconds += i->KeptSeconds();
    }
    request.outputFormat = format;
    request.outputExtension = FormatExtension(format);
    request.outputFolder = out_;
    queue.Shutdown();
    return request;
  }

  // Joins and returns the final merge message.
  int Join(const MergeRequest& request, std::string* output) {
    MergeJoin join(request, &recorder_, dirs_);
    join.Start();
    EXPECT_TRUE(recorder_.WaitUntil([](const std::vector<Message>& list) {
      for (const Message& m : list)
        if (m.msg == WM_MERGE_DONE || m.msg == WM_MERGE_FAILED) return true;
      return false;
    }));
    *output = join.OutputPath();
    reason_ = join.FailureReason();
    command_ = join.CommandLine();
    return recorder_.Count(WM_MERGE_DONE) ? WM_MERGE_DONE : WM_MERGE_FAILED;
  }

  Recorder recorder_;
  std::string reason_, command_;
};

// The file's chapters: title and end in whole seconds.
std::vector<std::string> Chapters(const std::string& file) {
  std::vector<std::string> chapters;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, file.c_str(), nullptr, nullptr) < 0) return {"unreadable"};
  for (unsigned i = 0; i < ctx->nb_chapters; ++i) {
    const AVChapter* c = ctx->chapters[i];
    const AVDictionaryEntry* title = av_dict_get(c->metadata, "title", nullptr, 0);
    chapters.push_back(platform::Format("%s until %.0f", title ? title->value : "",
                                        static_cast<double>(c->end) * av_q2d(c->time_base)));
  }
  avformat_close_input(&ctx);
  return chapters;
}

// Decodes the whole file; "" when it plays without a single error.
std::string PlaybackErrors(const std::string& file) {
  std::string log = file + ".decode.log";
  platform::ProcessOptions options;
  options.stderrFile = log;
  int code = platform::RunAndWait(
      {"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-f", "null", "-"}, options);
  std::string errors = ReadText(log);
  platform::DeleteFile(log);
  return code == 0 ? errors : "exit " + std::to_string(code) + ": " + errors;
}

TEST_F(MergeTest, PartsOfEveryContainerJoinIntoOnePlayableFile) {
  // Different sizes, one part without sound, a folder name with an apostrophe.
  platform::CreateFolders(path("O'Brien"));
  std::string first = path("O'Brien/first.mp4");
  ASSERT_EQ(testsupport::MakeMedia(first, testsupport::Clip(2.0, 320, 240)), "");
  MediaSpec silent = testsupport::Clip(1.0, 160, 90);
  silent.audioChannels = 0;
  std::string second = Media("second.mkv", silent);

  for (const char* ext : {"mp4", "mkv", "avi", "wmv", "flv", "mov", "webm", "hevc", "av1"}) {
    recorder_.Clear();
    MergeRequest request = MakeParts({first, second}, ext);
    EXPECT_EQ(request.totalSeconds, 3);
    std::string output;
    ASSERT_EQ(Join(request, &output), WM_MERGE_DONE) << ext << ": " << reason_;
    EXPECT_EQ(platform::ParentDir(output) + "/", out_);
    EXPECT_NE(command_.find(" -c"), std::string::npos) << command_;

    media::MediaInfo info;
    media::ProbeMedia(output, info);
    EXPECT_NEAR(info.durationSeconds, 3, 1) << ext;
    EXPECT_EQ(info.width, 320) << ext;
    EXPECT_EQ(info.height, 240) << ext;
    EXPECT_FALSE(info.audioBitRateText.empty()) << ext << ": the sound must go all through";
    EXPECT_EQ(PlaybackErrors(output), "") << ext << " with " << command_;
    // The new containers join by stream copy, their codecs and HEVC's tag kept.
    const PartFormat joined = ProbePartFormat(output);
    const std::string token = ext;
    if (token == "webm" || token == "av1" || token == "hevc") {
      EXPECT_NE(command_.find(" -c copy "), std::string::npos) << command_;
      EXPECT_EQ(joined.videoCodec, token == "webm" ? "vp9" : token);
      EXPECT_EQ(joined.audioCodec, token == "hevc" ? "aac" : "opus");
      EXPECT_EQ(platform::ExtensionOf(output), FormatExtension(request.outputFormat));
    }
    // Each part is a chapter where the container keeps chapters.
    if (token == "mp4" || token == "mkv" || token == "mov" || token == "webm") {
      EXPECT_EQ(Chapters(output), (std::vector<std::string>{"first until 2", "second until 3"}))
          << ext;
    }
    // The join's list, tags, progress and error output are gone; the parts stay.
    for (const std::string& name : FolderEntries(dirs_.scratch)) {
      EXPECT_EQ(name.find(".txt"), std::string::npos) << ext << ": " << name;
      EXPECT_EQ(name.find(".meta"), std::string::npos) << ext << ": " << name;
    }
    EXPECT_EQ(FolderEntries(dirs_.log), std::vector<std::string>{}) << ext;
  }
}

TEST_F(MergeTest, APartThatIsNoLongerThereFailsTheJoinBeforeItRuns) {
  std::string clip = Media("clip.mp4", testsupport::Clip(1.0, 160, 120));
  MergeRequest request = MakeParts({clip, clip, clip}, "mp4");
  ASSERT_EQ(request.parts.size(), 3u);
  ASSERT_TRUE(platform::DeleteFile(request.parts[2]));
  platform::CreateFolders(path("folder.mp4"));
  WriteText(path("empty.mp4"), "");
  struct Case {
    std::string third, why;
  } cases[] = {
      {request.parts[2], "part 3 is missing"},
      {path("folder.mp4"), "part 3 is not a file"},
      {path("empty.mp4"), "part 3 is empty"},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    MergeRequest spoiled = request;
    spoiled.parts[2] = c.third;
    std::string output;
    ASSERT_EQ(Join(spoiled, &output), WM_MERGE_FAILED) << c.third;
    EXPECT_EQ(reason_, c.why + ": " + c.third);
    EXPECT_EQ(command_, "") << "the transcoder ran";
    EXPECT_EQ(recorder_.Count(WM_MERGE_DONE), 0);
    EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
  }
}

TEST_F(MergeTest, AJoinThatLostAPartFailsAndLeavesNoOutput) {
  // The transcoder joins the parts before the one it cannot read and ends
  // cleanly. Three parts of a second: the lost part is within the length's
  // allowance, only the error output tells. Two parts of five seconds, the
  // second cut short: it opens, only the length tells.
  struct Case {
    std::vector<double> seconds;
    std::string ext;
    bool garbage;  // else cut to a fifth
    std::string why;
  } cases[] = {
      {{1.0, 1.0, 1.0}, "mp4", true, "a part could not be read: Impossible to open"},
      {{5.0, 5.0}, "mkv", false, "the joined file holds"},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    std::vector<std::string> sources;
    for (size_t i = 0; i < c.seconds.size(); ++i)
      sources.push_back(Media(platform::Format("source%zu.mp4", i),
                              testsupport::Clip(c.seconds[i], 160, 120)));
    MergeRequest request = MakeParts(sources, c.ext);
    ASSERT_EQ(request.parts.size(), sources.size()) << c.ext;
    const std::string last = request.parts.back();
    std::string content = ReadText(last);
    ASSERT_GT(content.size(), 1000u);
    if (c.garbage) {
      unsigned x = 12345;
      for (char& b : content) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 16);
      }
    } else {
      content.resize(content.size() / 5);
    }
    WriteText(last, content);
    std::string output;
    ASSERT_EQ(Join(request, &output), WM_MERGE_FAILED) << c.ext << " with " << command_;
    EXPECT_NE(command_, "") << "the transcoder never ran: " << reason_;
    EXPECT_EQ(reason_.find(c.why), 0u) << reason_;
    if (c.garbage) {
      EXPECT_NE(reason_.find(last), std::string::npos) << reason_;
    }
    EXPECT_FALSE(platform::FileExists(output)) << output;
    EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
    EXPECT_EQ(FolderEntries(dirs_.log), std::vector<std::string>{});
  }
}

TEST_F(MergeTest, AJoinThatCannotRunOrIsStoppedLeavesNothing) {
  // Files of the same kinds that some other run left: not the join's to remove.
  ASSERT_TRUE(dirs_.Ensure());
  WriteText(dirs_.scratch + "1.txt", "file 'x'\r\n");
  WriteText(dirs_.log + "merge_1", "progress=end\n");
  WriteText(dirs_.log + "merge_1.log", "x");
  const std::vector<std::string> scratchBefore = FolderEntries(dirs_.scratch);
  const std::vector<std::string> logBefore = FolderEntries(dirs_.log);

  MergeRequest request;
  request.parts = {path("missing-a.mp4"), path("missing-b.mp4")};
  request.outputExtension = "mp4";
  request.outputFolder = out_;
  request.totalSeconds = 10;
  std::string output;
  EXPECT_EQ(Join(request, &output), WM_MERGE_FAILED);
  EXPECT_FALSE(reason_.empty());
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
  EXPECT_EQ(FolderEntries(dirs_.scratch), scratchBefore);
  EXPECT_EQ(FolderEntries(dirs_.log), logBefore);

  // Stopped while running: nothing posted after the stop, no output.
  // Parts of two sizes are encoded again: slow enough to stop midway.
  std::string large = Media("large.mp4", testsupport::Clip(20.0, 640, 480));
  std::string small = Media("small.mkv", testsupport::Clip(20.0, 320, 240));
  recorder_.Clear();
  MergeRequest big;
  big.parts = {large, small, large};
  big.outputExtension = "mkv";
  big.outputFolder = out_;
  big.totalSeconds = 60;
  auto join = std::make_unique<MergeJoin>(big, &recorder_, dirs_);
  join->Start();
  ASSERT_TRUE(recorder_.WaitUntil([](const std::vector<Message>& list) {
    return !list.empty();
  }));
  // The monitor may have posted more progress meanwhile; only an end counts.
  EXPECT_GE(recorder_.Count(WM_MERGE_PROGRESS), 1);
  ASSERT_EQ(recorder_.Count(WM_MERGE_DONE) + recorder_.Count(WM_MERGE_FAILED), 0)
      << "the join ended before it could be stopped";
  join->Stop();
  size_t seen = recorder_.Messages().size();
  EXPECT_FALSE(join->Succeeded());
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
  EXPECT_EQ(ChildTranscoders(), 0);
  EXPECT_EQ(FolderEntries(dirs_.scratch), scratchBefore);
  EXPECT_EQ(FolderEntries(dirs_.log), logBefore);
  join.reset();
  EXPECT_EQ(recorder_.Messages().size(), seen);
}

}  // namespace

namespace {

TEST(JoinedFileNamesTest, EveryNameFitsAndDiffers) {
  std::string accented;
  for (int i = 0; i < 150; ++i) accented += "\xc3\xa9";  // 300 bytes
  struct Case {
    std::string mergeName;
    std::string first;  // "" when only the limits are checked
  } cases[] = {
      {"Merged", "Merged_1700000000000000.mkv"},
      {std::string(250, 'm'), ""},
      {accented, ""},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> names = JoinedFileNames(c.mergeName, 1700000000000000LL, "mkv");
    ASSERT_EQ(names.size(), 4u) << c.mergeName;
    if (!c.first.empty()) {
      EXPECT_EQ(names[0], c.first);
      EXPECT_EQ(names[1], "Merged_1700000000000000_1.mkv");
    }
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_LE(names[i].size(), 255u) << names[i];
      // Shortened before a character's first byte.
      EXPECT_EQ(platform::TruncateUtf8Bytes(names[i], names[i].find("_1700")), names[i].substr(0, names[i].find("_1700")));
      for (size_t j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]);
    }
  }
}

TEST_F(MergeTest, TheJoinedFileAppearsUnderItsNameOnlyWhenWhole) {
  // The join reads its list at the pace of playing, so that there is time to
  // look while it writes; the real transcoder does all the work.
  const std::string bin = path("bin");
  platform::CreateFolders(bin);
  const std::string real = testsupport::FfmpegPath();
  WriteText(bin + "/ffmpeg", "#!/bin/sh\nfor a in \"$@\"; do\n  [ \"$a\" = concat ] && exec \"" +
                                 real + "\" -re \"$@\"\ndone\nexec \"" + real + "\" \"$@\"\n");
  ASSERT_EQ(chmod((bin + "/ffmpeg").c_str(), 0755), 0);
  const std::string clip = Media("clip.mp4", testsupport::Clip(3.0, 160, 120));
  MergeRequest request;
  request.parts = {clip, clip};
  request.outputExtension = "mp4";
  request.outputFolder = out_;
  request.totalSeconds = 6;
  const std::string oldPath = getenv("PATH");
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  MergeJoin join(request, &recorder_, dirs_);
  join.Start();
  const bool progressed = recorder_.WaitFor(WM_MERGE_PROGRESS, nullptr);
  const std::vector<std::string> during = FolderEntries(out_);
  const bool seenDone = recorder_.Count(WM_MERGE_DONE) > 0;
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(progressed) << join.FailureReason();
  ASSERT_FALSE(seenDone) << "the join ended before it could be looked at";
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind(".pelmar-tmp-", 0), 0u) << during[0];
  EXPECT_FALSE(platform::FileExists(join.OutputPath()));
  ASSERT_TRUE(recorder_.WaitUntil([](const std::vector<Message>& list) {
    for (const Message& m : list)
      if (m.msg == WM_MERGE_DONE || m.msg == WM_MERGE_FAILED) return true;
    return false;
  }));
  ASSERT_TRUE(join.Succeeded()) << join.FailureReason();
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{platform::FileNameOf(join.OutputPath())});
  media::MediaInfo info;
  media::ProbeMedia(join.OutputPath(), info);
  EXPECT_NEAR(info.durationSeconds, 6, 1);
  // The log shows the file the transcoder wrote by its plain name.
  EXPECT_NE(join.CommandLine().find(" " + out_ + ".pelmar-tmp-"), std::string::npos)
      << join.CommandLine();
}

}  // namespace
