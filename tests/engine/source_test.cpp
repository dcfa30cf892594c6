// What reaches the transcoder: only sources the analysis could read, each by
// the demuxer it found and through the file protocol only; a picture list
// never gets a file without a picture. Runs the real list session and the
// real ffmpeg, behind a wrapper on PATH that notes each command it runs.
#include <stdlib.h>
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/command.h"
#include "engine/list_session.h"
#include "engine/video_item.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/hostile_sources.h"

using namespace engine;
using namespace enginetest;
using testsupport::Clip;

namespace {

class Listener : public SessionListener {
 public:
  void OnItemDone(VideoItem& item) override { ended.push_back(&item); }
  void OnItemFailed(VideoItem& item, bool) override { ended.push_back(&item); }
  bool Ended(const VideoItem* item) const {
    for (const VideoItem* e : ended)
      if (e == item) return true;
    return false;
  }
  std::vector<const VideoItem*> ended;
};

class SourceTest : public EngineTest {
 protected:
  void TearDown() override {
    session_.reset();
    if (!oldPath_.empty()) setenv("PATH", oldPath_.c_str(), 1);
    EngineTest::TearDown();
  }

  // From here on every transcoder run goes through the wrapper, which writes
  // its arguments to a line of the log and runs the real ffmpeg. Made before
  // the session, so that no engine thread reads PATH while it changes.
  void StartSession() {
    const std::string real = testsupport::FfmpegPath();
    ASSERT_NE(real, "");
    const std::string bin = path("bin");
    platform::CreateFolders(bin);
    log_ = path("transcoder-runs.txt");
    testsupport::WriteText(bin + "/ffmpeg", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + log_ +
                                                "'\nexec '" + real + "' \"$@\"\n");
    ASSERT_EQ(chmod((bin + "/ffmpeg").c_str(), 0755), 0);
    oldPath_ = getenv("PATH");
    setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
    session_ = std::make_unique<ListSession>(&listener_, dirs_);
  }

  // Converts the files in the list and waits until each has ended.
  std::vector<ItemPtr> Convert(ConvertKind list, const std::vector<std::string>& files) {
    std::vector<ItemPtr> items = session_->AddFiles(list, files);
    EXPECT_EQ(items.size(), files.size());
    EXPECT_EQ(session_->StartList(list, out_), StartResult::Started);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    for (const ItemPtr& item : items) {
      while (!listener_.Ended(item.get()) && std::chrono::steady_clock::now() < end)
        session_->WaitAndDrain(20);
      EXPECT_TRUE(listener_.Ended(item.get())) << item->sourcePath << " never ended";
    }
    return items;
  }

  // The transcoder commands run so far that read this source.
  std::vector<std::string> RunsOf(const std::string& source) {
    std::vector<std::string> runs;
    std::istringstream lines(platform::FileExists(log_) ? testsupport::ReadText(log_) : "");
    for (std::string line; std::getline(lines, line);)
      if (line.find("-i " + source + " ") != std::string::npos) runs.push_back(line);
    return runs;
  }

  Listener listener_;
  std::unique_ptr<ListSession> session_;
  std::string log_;
  std::string oldPath_;
};

TEST_F(SourceTest, HostileSourcesFailWithTheAnalysisReasonAndNothingIsRead) {
  const std::string folder = path("in") + "/";
  platform::CreateFolders(folder);
  const std::vector<testsupport::HostileSource> cases = testsupport::MakeHostileSources(folder);
  const std::string good = Media("good.mp4", Clip(1.0, 160, 120));
  StartSession();

  std::vector<std::string> files, named;
  for (const auto& c : cases) {
    files.push_back(folder + c.name);
    for (const std::string& n : c.named) named.push_back(folder + n);
  }
  files.push_back(good);  // the list goes on after them
  testsupport::OpenWatch watch(named);
  for (ConvertKind list : {ConvertKind::Video, ConvertKind::Gif, ConvertKind::Audio}) {
    const std::vector<ItemPtr> items = Convert(list, files);
    ASSERT_EQ(items.size(), files.size());
    for (size_t i = 0; i < cases.size(); ++i) {
      const VideoItem& item = *items[i];
      EXPECT_EQ(item.state.load(), ItemState::Failed) << cases[i].name;
      EXPECT_NE(item.analysisError, "") << cases[i].name;
      EXPECT_EQ(item.failureReason, item.analysisError) << cases[i].name;
      EXPECT_EQ(item.failureReason.find("playlist") != std::string::npos, cases[i].playlist)
          << cases[i].name << ": " << item.failureReason;
      EXPECT_EQ(RunsOf(item.sourcePath), std::vector<std::string>()) << cases[i].name;
    }
    EXPECT_EQ(items.back()->state.load(), ItemState::Done)
        << static_cast<int>(list) << ": " << items.back()->failureReason;
  }
  EXPECT_EQ(watch.Opens(), 0) << "a file named by a hostile source was opened";
  // Nothing but the good file's three results was written.
  EXPECT_EQ(FolderEntries(out_),
            (std::vector<std::string>{"good.gif", "good.mp3", "good.mp4"}));
}

TEST_F(SourceTest, ListsRefuseWhatTheFileLacks) {
  const std::string song = Media("song.wav", Clip(1.0, 0, 0));
  const std::string film = Media("film.mp4", Clip(1.0, 160, 120));
  testsupport::MediaSpec mute = Clip(1.0, 160, 120);
  mute.audioChannels = 0;
  const std::string silent = Media("silent.mp4", mute);
  StartSession();
  for (ConvertKind list : {ConvertKind::Video, ConvertKind::Gif}) {
    const std::vector<ItemPtr> items = Convert(list, {song, film});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->state.load(), ItemState::Failed);
    EXPECT_EQ(items[0]->failureReason, "this file has no picture; use the audio list");
    EXPECT_EQ(items[1]->state.load(), ItemState::Done) << items[1]->failureReason;
  }
  EXPECT_EQ(RunsOf(song), std::vector<std::string>());

  // The sound list takes the song, and refuses the film without sound for
  // what it lacks, not with the transcoder's words.
  const std::vector<ItemPtr> sound = Convert(ConvertKind::Audio, {silent, song});
  ASSERT_EQ(sound.size(), 2u);
  EXPECT_EQ(sound[0]->state.load(), ItemState::Failed);
  EXPECT_EQ(sound[0]->failureReason, "this file has no sound");
  EXPECT_EQ(sound[1]->state.load(), ItemState::Done) << sound[1]->failureReason;
  EXPECT_TRUE(platform::IsRegularFile(out_ + "song.mp3"));
  EXPECT_EQ(RunsOf(song).size(), 1u);
  const std::vector<std::string> runs = RunsOf(silent);  // its cover only
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(runs[0].find(" -f image2 "), std::string::npos) << runs[0];
}

TEST_F(SourceTest, FilesOfEveryCommonContainerConvertByTheirProbedDemuxer) {
  struct Case {
    const char* name;
    const char* format;
    ConvertKind list;
    const char* audioCodec;
  } cases[] = {
      {"a.mov", "mov", ConvertKind::Video, ""},
      {"a.mkv", "matroska", ConvertKind::Video, ""},
      {"a.webm", "matroska", ConvertKind::Video, ""},
      {"a.avi", "avi", ConvertKind::Video, ""},
      {"a.flv", "flv", ConvertKind::Video, ""},
      {"a.ts", "mpegts", ConvertKind::Video, ""},
      {"a.wmv", "asf", ConvertKind::Gif, ""},
      {"a.mp4", "mov", ConvertKind::Gif, ""},
      {"b.mp3", "mp3", ConvertKind::Audio, ""},
      {"b.m4a", "mov", ConvertKind::Audio, ""},
      {"b.wav", "wav", ConvertKind::Audio, ""},
      {"b.ogg", "ogg", ConvertKind::Audio, "libvorbis"},
  };
  for (const Case& c : cases) {
    testsupport::MediaSpec spec = Clip(1.0, c.list == ConvertKind::Audio ? 0 : 160, 120);
    spec.audioCodec = c.audioCodec;
    Media(c.name, spec);
  }
  StartSession();
  for (const Case& c : cases) {
    const std::vector<ItemPtr> items = Convert(c.list, {path(c.name)});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->inputFormat, c.format) << c.name;
    EXPECT_EQ(items[0]->state.load(), ItemState::Done) << c.name << ": " << items[0]->failureReason;
    const std::vector<std::string> runs = RunsOf(path(c.name));
    ASSERT_FALSE(runs.empty()) << c.name;
    for (const std::string& run : runs)
      EXPECT_NE(run.find(std::string("-protocol_whitelist file -f ") + c.format + " -i "),
                std::string::npos)
          << run;
  }
}

TEST(SourceCommand, TheSourceIsReadByItsProbedDemuxerThroughFilesOnly) {
  struct Case {
    const char* name;
    ConvertKind list;
    const char* inputFormat;
    media::CacheKind cache;
    const char* start;  // the words between "-y" and "-i"
  } cases[] = {
      {"video", ConvertKind::Video, "matroska", media::CacheKind::None,
       "-protocol_whitelist file -f matroska"},
      {"sound", ConvertKind::Audio, "mp3", media::CacheKind::None,
       "-protocol_whitelist file -f mp3"},
      {"merge part", ConvertKind::Merge, "avi", media::CacheKind::None,
       "-protocol_whitelist file -f avi"},
      {"picture with a '%' in its name", ConvertKind::Video, "image2", media::CacheKind::None,
       "-protocol_whitelist file -f image2 -pattern_type none"},
      {"cache file: its own format is the transcoder's to find", ConvertKind::Video, "h264",
       media::CacheKind::Qlv, "-protocol_whitelist file"},
      {"format unknown", ConvertKind::Video, "", media::CacheKind::None,
       "-protocol_whitelist file"},
  };
  for (const Case& c : cases) {
    VideoItem item("/in/clip.mp4", c.list);
    item.inputFormat = c.inputFormat;
    item.cacheKind = c.cache;
    item.outputExtension = c.list == ConvertKind::Audio ? "mp3" : "mp4";
    CommandInputs in;
    in.progressPath = "/log/p";
    in.outputPath = "/out/x";
    const Command cmd = BuildCommand(item, in);
    const std::vector<std::string>& args = cmd.args();
    std::string between;
    size_t at = 0;
    while (at < args.size() && args[at] != "-y") ++at;
    for (++at; at < args.size() && args[at] != "-i"; ++at)
      between += (between.empty() ? "" : " ") + args[at];
    EXPECT_EQ(between, c.start) << c.name;
    ASSERT_LT(at + 1, args.size()) << c.name;
    EXPECT_EQ(args[at + 1], "/in/clip.mp4") << c.name;
  }
}

TEST(SourceRefusal, OnlyAnalysedReadableSourcesWithWhatTheListNeeds) {
  struct Case {
    const char* name;
    ConvertKind list;
    const char* analysisError;
    bool hasPicture;
    bool hasSound;
    media::CacheKind cache;
    const char* refusal;
  } cases[] = {
      {"unreadable", ConvertKind::Audio, "cannot open: x", true, true, media::CacheKind::None,
       "cannot open: x"},
      {"unreadable cache file", ConvertKind::Video, "cannot open: y", false, true,
       media::CacheKind::Qsv, "cannot open: y"},
      {"sound in the video list", ConvertKind::Video, "", false, true, media::CacheKind::None,
       "this file has no picture; use the audio list"},
      {"sound in the GIF list", ConvertKind::Gif, "", false, true, media::CacheKind::None,
       "this file has no picture; use the audio list"},
      {"sound as a merge part", ConvertKind::Merge, "", false, true, media::CacheKind::None,
       "this file has no picture; use the audio list"},
      {"sound in the audio list", ConvertKind::Audio, "", false, true, media::CacheKind::None, ""},
      {"film without sound in the audio list", ConvertKind::Audio, "", true, false,
       media::CacheKind::None, "this file has no sound"},
      {"film without sound as a merge part", ConvertKind::Merge, "", true, false,
       media::CacheKind::None, ""},
      {"cache file whose picture the probe missed", ConvertKind::Video, "", false, true,
       media::CacheKind::Kux, ""},
      {"film", ConvertKind::Gif, "", true, true, media::CacheKind::None, ""},
  };
  for (const Case& c : cases) {
    VideoItem item("/in/x.mp4", c.list);
    item.analysisError = c.analysisError;
    item.hasPicture = c.hasPicture;
    if (c.hasSound) item.audioBitRateText = "128";
    item.cacheKind = c.cache;
    EXPECT_EQ(SourceRefusal(item), c.refusal) << c.name;
  }
}

}  // namespace
