// The list session with the real transcoder: what a front end sees through
// its listener when it starts, stops, removes, clears and merges.

#include <sys/stat.h>

#include <algorithm>
#include <functional>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/core/app_settings.h"
#include "engine/list_session.h"
#include "engine/transform.h"
#include "media/probe.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using media::OutputFormat;
using media::SizePreset;
using testsupport::Clip;
using testsupport::WriteText;

namespace {

enum class Ev {
  Info, Changed, Progress, Done, Failed, MergeStarted, MergeEnded, MergePartFailed, RunEnded,
  ChoiceReset
};

struct Event {
  Ev kind;
  const VideoItem* item;
  int value;
  ItemState state;  // the item's state when it was reported
};

// What a front end would show, in the order it was told.
class Recording : public SessionListener {
 public:
  void OnItemInfo(VideoItem& i) override { Add(Ev::Info, &i); }
  void OnItemChanged(VideoItem& i) override { Add(Ev::Changed, &i); }
  void OnProgress(VideoItem& i, int percent) override { Add(Ev::Progress, &i, percent); }
  void OnItemDone(VideoItem& i) override { Add(Ev::Done, &i); }
  void OnItemFailed(VideoItem& i, bool startFailed) override { Add(Ev::Failed, &i, startFailed); }
  void OnMergeStarted(const MergeRequest& r) override {
    requests.push_back(r);
    Add(Ev::MergeStarted, nullptr);
  }
  void OnMergeEnded(const MergeOutcome& o) override {
    outcomes.push_back(o);
    Add(Ev::MergeEnded, nullptr, static_cast<int>(o.end));
  }
  void OnMergePartFailed() override { Add(Ev::MergePartFailed, nullptr); }
  void OnRunEnded(const RunSummary& summary) override {
    runs.push_back(summary);
    Add(Ev::RunEnded, nullptr);
  }
  void OnChoiceReset(ConvertKind, const std::string& why) override {
    resets.push_back(why);
    Add(Ev::ChoiceReset, nullptr);
  }

  int Count(Ev kind, const VideoItem* item = nullptr) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) {
      return e.kind == kind && (!item || e.item == item);
    }));
  }
  // Where the first (or last) such event stands; -1 when there is none.
  int First(Ev kind, const VideoItem* item = nullptr) const { return Find(kind, item, false); }
  int Last(Ev kind, const VideoItem* item = nullptr) const { return Find(kind, item, true); }
  std::vector<const VideoItem*> ItemsOf(Ev kind) const {
    std::vector<const VideoItem*> items;
    for (const Event& e : events)
      if (e.kind == kind) items.push_back(e.item);
    return items;
  }

  std::vector<Event> events;
  std::vector<MergeRequest> requests;
  std::vector<RunSummary> runs;
  std::vector<MergeOutcome> outcomes;
  std::vector<std::string> resets;

 private:
  void Add(Ev kind, VideoItem* item, int value = 0) {
    events.push_back({kind, item, value, item ? item->state.load() : ItemState::Idle});
  }
  int Find(Ev kind, const VideoItem* item, bool last) const {
    int found = -1;
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i].kind != kind || (item && events[i].item != item)) continue;
      found = static_cast<int>(i);
      if (!last) break;
    }
    return found;
  }
};

class SessionTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // A transcoder in front of the real one holds every join while the file
    // joinHeld_ exists, so that a test may stop a join before it can end.
    // PATH is set before any engine thread runs and put back after.
    joinHeld_ = path("join-held");
    const std::string bin = path("bin");
    platform::CreateFolders(bin);
    testsupport::WriteText(bin + "/ffmpeg",
                           "#!/bin/sh\n"
                           "case \" $* \" in *\" concat \"*)\n"
                           "  while [ -e '" + joinHeld_ + "' ]; do sleep 0.05; done;;\n"
                           "esac\n"
                           "exec '" + testsupport::FfmpegPath() + "' \"$@\"\n");
    chmod((bin + "/ffmpeg").c_str(), 0755);
    const char* oldPath = getenv("PATH");
    oldPath_ = oldPath ? oldPath : "";
    setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
    session_ = std::make_unique<ListSession>(&rec_, dirs_);
  }
  void TearDown() override {
    session_.reset();
    setenv("PATH", oldPath_.c_str(), 1);
    EngineTest::TearDown();
  }

  // Drains as an event loop would until pred holds; false after the limit.
  bool DrainUntil(const std::function<bool()>& pred,
                  std::chrono::seconds limit = std::chrono::seconds(120)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      session_->WaitAndDrain(20);
    }
    return true;
  }

  // Adds the files and waits for their analysis to be reported.
  std::vector<ItemPtr> AddAnalysed(ConvertKind list, const std::vector<std::string>& files) {
    std::vector<ItemPtr> items = session_->AddFiles(list, files);
    EXPECT_EQ(items.size(), files.size());
    EXPECT_TRUE(DrainUntil([&] {
      for (const ItemPtr& i : items)
        if (rec_.Count(Ev::Info, i.get()) == 0) return false;
      return true;
    }));
    return items;
  }

  std::string Garbage(const std::string& name) {
    std::string file = path(name);
    testsupport::WriteText(file, std::string(2048, 'z'));
    return file;
  }

  Recording rec_;
  std::unique_ptr<ListSession> session_;
  std::string joinHeld_;
  std::string oldPath_;
};

TEST_F(SessionTest, ItemsConvertInListOrderAndASecondStartQueuesNothingNew) {
  auto items = AddAnalysed(ConvertKind::Video, {Media("one.mp4", Clip(1.0, 160, 120)),
                                                Media("two.mov", Clip(1.0, 160, 120)),
                                                Media("three.mkv", Clip(1.0, 160, 120))});
  EXPECT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  EXPECT_TRUE(session_->RunOpen());
  EXPECT_TRUE(session_->Busy(ConvertKind::Video));
  EXPECT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Nothing);

  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done) == 3; }));
  EXPECT_EQ(rec_.ItemsOf(Ev::Done),
            (std::vector<const VideoItem*>{items[0].get(), items[1].get(), items[2].get()}));
  for (const ItemPtr& item : items) {
    EXPECT_EQ(item->state.load(), ItemState::Done);
    EXPECT_EQ(item->outputPath, out_ + item->title + ".mp4");
    EXPECT_TRUE(platform::IsRegularFile(item->outputPath)) << item->outputPath;
    EXPECT_FALSE(session_->Queue().JobOf(item.get()));
  }
  // The run ends once, after the third success: a power-off may follow.
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 1; }));
  EXPECT_GT(rec_.First(Ev::RunEnded), rec_.First(Ev::Done, items[2].get()));
  EXPECT_EQ(rec_.runs[0].converted, 3);
  EXPECT_TRUE(rec_.runs[0].Succeeded());
  EXPECT_FALSE(session_->RunOpen());
  EXPECT_FALSE(session_->Busy(ConvertKind::Video));
  EXPECT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Nothing);

  // Finished items keep what they were made with.
  const int changed = rec_.Count(Ev::Changed);
  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Video, "menuex_mkv_720"), ChoiceResult::Applied);
  EXPECT_EQ(rec_.Count(Ev::Changed), changed);
  for (const ItemPtr& item : items) EXPECT_EQ(item->outputExtension, "mp4");
}

TEST_F(SessionTest, AFailureIsReportedOnceAndFailsItsRunOnly) {
  std::string good = Media("good.mp4", Clip(1.0, 160, 120));
  std::string gone = Media("gone.mp4", Clip(1.0, 160, 120));
  auto items = AddAnalysed(ConvertKind::Video, {good, gone, Garbage("bad.mp4"), good});
  const ItemPtr failing = items[1], unreadable = items[2];
  // A file the analysis cannot read is failed at once, with its reason, and
  // a start leaves it.
  EXPECT_EQ(unreadable->state.load(), ItemState::Failed);
  EXPECT_FALSE(unreadable->failureReason.empty());
  platform::DeleteFile(gone);
  ASSERT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  EXPECT_EQ(unreadable->state.load(), ItemState::Failed);
  EXPECT_EQ(session_->RequeueItem(unreadable, out_), StartResult::Nothing);
  // The last item converts after the failure, so both of its reports are in by then.
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 1; }));
  EXPECT_EQ(rec_.Count(Ev::Failed), 1);
  EXPECT_EQ(rec_.Count(Ev::Failed, failing.get()), 1);
  EXPECT_EQ(failing->state.load(), ItemState::Failed);
  EXPECT_FALSE(failing->failureReason.empty());
  EXPECT_EQ(rec_.Count(Ev::Done), 2);
  EXPECT_EQ(rec_.runs[0].converted, 2);
  EXPECT_EQ(rec_.runs[0].failed, std::vector<std::string>{"gone.mp4"});
  EXPECT_FALSE(rec_.runs[0].Succeeded());
  // A later start is a run of its own: the failed rows that stay are none of its business.
  AddAnalysed(ConvertKind::Gif, {good});
  ASSERT_EQ(session_->StartList(ConvertKind::Gif, out_), StartResult::Started);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 2; }));
  EXPECT_EQ(rec_.runs[1].converted, 1);
  EXPECT_TRUE(rec_.runs[1].Succeeded());
  // Taking the failed file away ends no further run.
  session_->RemoveItem(failing);
  session_->Drain();
  EXPECT_EQ(rec_.Count(Ev::RunEnded), 2);
  EXPECT_EQ(session_->Items(ConvertKind::Video).size(), 3u);
}

TEST_F(SessionTest, StopAndRemoveEndConversionsWithoutAFileAndTheRestGoesOn) {
  std::string longSource = Media("long.mp4", Clip(40.0, 640, 480));
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Video, {OutputFormat::Mkv, SizePreset::Size1080}));
  auto items = AddAnalysed(ConvertKind::Video,
                           {longSource, longSource, Media("short.mp4", Clip(1.0, 160, 120))});
  const ItemPtr stopped = items[0], removed = items[1], last = items[2];
  EXPECT_EQ(session_->ListSecondsLeft(ConvertKind::Video), 0);
  ASSERT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  EXPECT_EQ(session_->SecondsLeft(*stopped), -1);
  EXPECT_EQ(session_->ListSecondsLeft(ConvertKind::Video), -1);

  // Time left, once the first file has converted a few seconds.
  ASSERT_TRUE(DrainUntil([&] { return session_->SecondsLeft(*stopped) >= 0; }));
  EXPECT_EQ(stopped->state.load(), ItemState::Converting);
  const int one = session_->SecondsLeft(*stopped);
  const int all = session_->ListSecondsLeft(ConvertKind::Video);
  EXPECT_GT(all, one);  // a second file of 40 s waits behind it
  EXPECT_EQ(session_->SecondsLeft(*removed), -1);

  session_->StopItem(stopped);
  EXPECT_EQ(stopped->state.load(), ItemState::Stopped);
  EXPECT_FALSE(session_->Queue().JobOf(stopped.get()));
  EXPECT_EQ(rec_.Last(Ev::Changed), rec_.Last(Ev::Changed, stopped.get()));
  EXPECT_EQ(rec_.events[rec_.Last(Ev::Changed)].state, ItemState::Stopped);
  EXPECT_EQ(session_->SecondsLeft(*stopped), -1);

  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Progress, removed.get()) > 0; }));
  session_->RemoveItem(removed);
  EXPECT_EQ(removed->state.load(), ItemState::Stopped);
  EXPECT_EQ(session_->Find(removed.get()), nullptr);
  EXPECT_EQ(session_->Items(ConvertKind::Video),
            (std::vector<ItemPtr>{stopped, last}));
  const size_t eventsAtRemoval = rec_.events.size();

  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done, last.get()) == 1; }));
  for (size_t i = eventsAtRemoval; i < rec_.events.size(); ++i)
    EXPECT_NE(rec_.events[i].item, removed.get()) << "reported after its removal";
  EXPECT_EQ(rec_.Count(Ev::Done), 1);
  EXPECT_EQ(rec_.Count(Ev::Failed), 0);
  // Only the finished file is in the output folder: the stopped ones left
  // nothing, not even their private folders.
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{platform::FileNameOf(last->outputPath)});
  // Stops are the user's own: the run made its one file and nothing failed.
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 1; }));
  EXPECT_EQ(rec_.runs[0].converted, 1);
  EXPECT_EQ(rec_.runs[0].stopped, 2);
  EXPECT_TRUE(rec_.runs[0].Succeeded());
}

TEST_F(SessionTest, ClearingAListLeavesTheOtherListsAnalysisAndCovers) {
  std::string source = Media("c.mp4", Clip(2.0, 320, 240));
  const ItemPtr v1 = session_->AddFiles(ConvertKind::Video, {source}).at(0);
  const std::vector<ItemPtr> gifs = session_->AddFiles(ConvertKind::Gif, {source, source, source});
  const ItemPtr v2 = session_->AddFiles(ConvertKind::Video, {source}).at(0);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Info, gifs[0].get()) == 1; }));
  const std::string gifCover = gifs[0]->coverPath;
  ASSERT_TRUE(platform::IsRegularFile(gifCover));

  session_->ClearList(ConvertKind::Gif);
  EXPECT_TRUE(session_->Items(ConvertKind::Gif).empty());
  EXPECT_FALSE(platform::FileExists(gifCover));
  for (const ItemPtr& g : gifs) EXPECT_EQ(g->state.load(), ItemState::Stopped);

  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Info, v2.get()) == 1; }));
  EXPECT_EQ(rec_.Count(Ev::Info, gifs[1].get()) + rec_.Count(Ev::Info, gifs[2].get()), 0);
  EXPECT_EQ(rec_.Count(Ev::Info, v1.get()), 1);
  EXPECT_TRUE(platform::IsRegularFile(v1->coverPath));
  EXPECT_TRUE(platform::IsRegularFile(v2->coverPath));

  // The video list still converts.
  ASSERT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done) == 2; }));

  // Whatever the cleared items' analysis made by the end is gone too; the video covers stay.
  session_->Shutdown();
  std::vector<std::string> covers = {platform::FileNameOf(v1->coverPath),
                                     platform::FileNameOf(v2->coverPath)};
  std::sort(covers.begin(), covers.end());
  EXPECT_EQ(FolderEntries(dirs_.cover), covers);
}

TEST_F(SessionTest, TheMergeJoinsOnceAfterItsLastPartAndMayBeStoppedAndRunAgain) {
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Merge, {OutputFormat::Mp4, SizePreset::Phone}));
  auto first = AddAnalysed(ConvertKind::Merge, {Media("a.mp4", Clip(2.0, 320, 240))});
  EXPECT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::NeedTwoParts);
  auto second = AddAnalysed(ConvertKind::Merge, {Media("b.mkv", Clip(30.0, 160, 120))});
  const ItemPtr a = first.at(0), b = second.at(0);
  b->trimStart = 10;
  b->trimEnd = 25;
  // Both parts carry the list's choice, from the first moment on.
  for (const ItemPtr& p : {a, b}) {
    EXPECT_EQ(p->sizePreset, SizePreset::Phone);
    EXPECT_EQ(p->outputResolutionText, "320x240");
    EXPECT_EQ(p->outputAudioBitRateText, p->audioBitRateText);
  }

  WriteText(joinHeld_, "");
  ASSERT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::Started);
  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Merge, "menuex2_mkv_1080"),
            ChoiceResult::Refused);
  EXPECT_EQ(session_->Choice(ConvertKind::Merge).format, OutputFormat::Mp4);
  EXPECT_EQ(b->outputExtension, "mp4");

  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::MergeStarted) == 1; }));
  EXPECT_GT(rec_.First(Ev::Done, b.get()), rec_.First(Ev::Done, a.get()));
  EXPECT_GT(rec_.First(Ev::MergeStarted), rec_.First(Ev::Done, b.get()));
  // The run (a power-off) waits for the join.
  EXPECT_EQ(rec_.Count(Ev::RunEnded), 0);
  const MergeRequest& request = rec_.requests.at(0);
  EXPECT_EQ(request.parts, (std::vector<std::string>{a->outputPath, b->outputPath}));
  for (const std::string& part : request.parts) EXPECT_TRUE(platform::IsRegularFile(part)) << part;
  EXPECT_EQ(request.outputExtension, "mp4");
  EXPECT_EQ(request.outputFolder, out_);
  EXPECT_EQ(request.totalSeconds, 2 + 15);
  EXPECT_FALSE(request.mergeName.empty());
  EXPECT_EQ(request.mergeName.find('/'), std::string::npos);
  EXPECT_TRUE(session_->MergeRunning());

  // Starting again converts nothing, and no second join starts while one runs.
  EXPECT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::MergeAgain);
  session_->Drain();
  EXPECT_EQ(rec_.Count(Ev::MergeStarted), 1);
  // Stopped, the join leaves nothing and is reported at once; the run it
  // ended made nothing.
  session_->StopMerge();
  EXPECT_FALSE(session_->MergeRunning());
  ASSERT_EQ(rec_.outcomes.size(), 1u);
  EXPECT_EQ(rec_.outcomes[0].end, MergeOutcome::End::Stopped);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
  session_->Drain();
  ASSERT_EQ(rec_.runs.size(), 1u);
  EXPECT_EQ(rec_.runs[0].converted, 0);
  EXPECT_EQ(rec_.runs[0].stopped, 1);
  EXPECT_FALSE(rec_.runs[0].Succeeded());

  // The parts stay done: the join runs again on them, and its success ends
  // the run of that start.
  platform::DeleteFile(joinHeld_);
  EXPECT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::MergeAgain);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::MergeEnded) == 2; }));
  EXPECT_EQ(rec_.Count(Ev::MergeStarted), 2);
  const MergeOutcome done = rec_.outcomes[1];
  ASSERT_EQ(done.end, MergeOutcome::End::Done) << done.reason;
  EXPECT_EQ(platform::ParentDir(done.outputPath) + "/", out_);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{platform::FileNameOf(done.outputPath)});
  ASSERT_TRUE(DrainUntil([&] { return rec_.runs.size() == 2; }));
  EXPECT_GT(rec_.Last(Ev::RunEnded), rec_.Last(Ev::MergeEnded));
  EXPECT_EQ(rec_.runs[1].converted, 1);
  EXPECT_TRUE(rec_.runs[1].Succeeded());

  // A join that cannot run says why; the parts stay done, and the run failed.
  platform::DeleteFile(a->outputPath);
  EXPECT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::MergeAgain);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::MergeEnded) == 3; }));
  EXPECT_EQ(rec_.outcomes[2].end, MergeOutcome::End::Failed);
  EXPECT_NE(rec_.outcomes[2].reason.find(a->outputPath), std::string::npos) << rec_.outcomes[2].reason;
  ASSERT_TRUE(DrainUntil([&] { return rec_.runs.size() == 3; }));
  EXPECT_EQ(rec_.runs[2].failed.size(), 1u);
  EXPECT_EQ(b->state.load(), ItemState::Done);

  // A new choice makes every part again.
  const int changed = rec_.Count(Ev::Changed);
  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Merge, "menuex2_mkv_tv"), ChoiceResult::Applied);
  EXPECT_EQ(rec_.Count(Ev::Changed), changed + 2);
  for (const ItemPtr& p : {a, b}) {
    EXPECT_EQ(p->state.load(), ItemState::Idle);
    EXPECT_EQ(p->outputExtension, "mkv");
    EXPECT_EQ(p->outputResolutionText, "640x480");
  }
}

// The settings' one-shot rates go by value into the first picture item a
// start queues: a sound list leaves them, showing the commands leaves them,
// and no later conversion gets them.
TEST_F(SessionTest, TheOneShotRatesGoToTheNextPictureConversionOnly) {
  const std::string source = Media("clip.mp4", Clip(1.0, 160, 120));
  app::Settings().SetOverrides(300000, 12.0f);
  const ItemPtr sound = AddAnalysed(ConvertKind::Audio, {source}).at(0);
  ASSERT_EQ(session_->StartList(ConvertKind::Audio, out_), StartResult::Started);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done, sound.get()) == 1; }));
  EXPECT_EQ(sound->customBitRate, 0);

  const auto videos = AddAnalysed(ConvertKind::Video, {source, source});
  const std::vector<PlannedCommand> planned = session_->PlanCommands(ConvertKind::Video, out_);
  ASSERT_EQ(planned.size(), 2u);
  EXPECT_NE(planned[0].line.find(" -b:v 300k"), std::string::npos) << planned[0].line;
  EXPECT_NE(planned[0].line.find(" -r 12.000000"), std::string::npos) << planned[0].line;
  EXPECT_EQ(planned[1].line.find(" -b:v "), std::string::npos) << planned[1].line;
  EXPECT_EQ(app::Settings().customBitRate.load(), 300000) << "used up by showing the command";
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"clip.mp3"}) << "only the sound";

  ASSERT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  EXPECT_EQ(app::Settings().customBitRate.load(), 0);
  EXPECT_EQ(app::Settings().customFrameRate.load(), 0.0f);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done) == 3; }));
  const float rates[] = {12.0f, 25.0f};  // the override, then the source's own
  for (int i = 0; i < 2; ++i) {
    media::MediaInfo info;
    ASSERT_TRUE(media::ProbeMedia(videos[i]->outputPath, info).usable) << videos[i]->outputPath;
    EXPECT_NEAR(info.frameRate, rates[i], 0.01) << videos[i]->outputPath;
  }
  // Converted again, the first file has its own rate.
  ASSERT_EQ(session_->RequeueItem(videos[0], out_), StartResult::Started);
  EXPECT_EQ(videos[0]->customFrameRate, 0.0f);
}

// A crop makes the output's size from what it keeps, and the row says so
// before the file is made.
TEST_F(SessionTest, ACroppedItemsOutputSizeIsTheSizeOfTheFileMade) {
  const std::string source = Media("wide.mp4", Clip(1.0, 640, 360));
  struct Case {
    ConvertKind list;
    ListChoice choice;
    const char* size;  // of the left half, 320x360
  } cases[] = {
      {ConvertKind::Gif, {OutputFormat::Gif, SizePreset::Origin}, "320x360"},
      {ConvertKind::Gif, {OutputFormat::Gif, SizePreset::Phone}, "178x200"},
      {ConvertKind::Video, {OutputFormat::Mp4, SizePreset::Origin}, "320x360"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(session_->SetChoice(c.list, c.choice));
    const ItemPtr item = AddAnalysed(c.list, {source}).at(0);
    ItemClip clip = ClipOf(*item);
    clip.cropWidth = 320;
    std::string why;
    ASSERT_TRUE(session_->SetClip(*item, clip, &why)) << why;
    EXPECT_EQ(item->outputResolutionText, c.size);
    EXPECT_EQ(rec_.Last(Ev::Changed), rec_.Last(Ev::Changed, item.get()));
    ASSERT_EQ(session_->StartList(c.list, out_), StartResult::Started);
    ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::Done, item.get()) == 1; }));
    media::MediaInfo made;
    ASSERT_TRUE(media::ProbeMedia(item->outputPath, made).usable) << item->outputPath;
    EXPECT_EQ(SizeText({made.width, made.height}), c.size) << item->outputPath;
  }
}

// One verb sets the clip for every front end: it refuses what does not fit
// the file, keeps the old clip then, and makes the crop's sides even.
TEST_F(SessionTest, AClipIsSetOnlyWhereItFitsWithEvenCropSides) {
  testsupport::MediaSpec turned = Clip(4.0, 160, 120);
  turned.rotation = 90;  // shown 120x160
  testsupport::MediaSpec odd = Clip(4.0, 161, 120);
  odd.videoCodec = "ffv1";  // a frame the usual encoders would refuse
  testsupport::MediaSpec aslant = Clip(4.0, 160, 120);
  aslant.rotation = 45;  // turned inside its own frame: no rectangle of it is the one shown
  const auto items =
      AddAnalysed(ConvertKind::Video, {Media("plain.mkv", odd), Media("turned.mp4", turned),
                                       Media("aslant.mp4", aslant)});
  const ItemPtr plain = items[0], upright = items[1], tilted = items[2];
  ASSERT_EQ(upright->rotation, 90);
  ASSERT_EQ(tilted->rotation, 45);
  // The whole frame as shown, even, from the analysis on.
  EXPECT_EQ(plain->cropWidth, 160);
  EXPECT_EQ(upright->cropWidth, 120);
  EXPECT_EQ(upright->cropHeight, 160);
  struct Case {
    const char* name;
    VideoItem* item;
    ItemClip clip;
    const char* refusal;  // "" when taken
    int evenWidth, evenHeight;
  } cases[] = {
      {"a range and an odd crop, made even inside the frame", plain.get(), {1, 3, 10, 20, 101, 81, true},
       "", 102, 82},
      {"odd sides at the frame's edge are made smaller", plain.get(), {0, 4, 0, 9, 161, 111, false},
       "", 160, 110},
      {"a range past the end", plain.get(), {2, 5, 0, 0, 160, 120, true}, "lies past the end", 0, 0},
      {"a range that keeps nothing", plain.get(), {3, 3, 0, 0, 160, 120, true}, "keeps nothing", 0, 0},
      {"a crop outside the picture", plain.get(), {0, 4, 100, 0, 100, 120, true}, "lies outside", 0, 0},
      {"a turned picture is trimmed", upright.get(), {1, 2, 0, 0, 120, 160, true}, "", 120, 160},
      {"a turned picture is cropped in its upright frame", upright.get(),
       {0, 4, 10, 100, 61, 60, false}, "", 62, 60},
      {"a rectangle of the stored frame lies outside the upright one", upright.get(),
       {0, 4, 0, 0, 160, 60, true}, "lies outside the 120x160 picture", 0, 0},
      {"a picture turned aslant is trimmed", tilted.get(), {1, 3, 0, 0, 160, 120, true}, "",
       160, 120},
      {"but not cropped", tilted.get(), {0, 4, 0, 0, 80, 60, true}, "turned 45 degrees", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ItemClip before = ClipOf(*c.item);
    std::string why;
    const bool taken = session_->SetClip(*c.item, c.clip, &why);
    EXPECT_EQ(taken, std::string(c.refusal).empty()) << why;
    if (taken) {
      EXPECT_EQ(c.item->trimStart, c.clip.trimStart);
      EXPECT_EQ(c.item->trimEnd, c.clip.trimEnd);
      EXPECT_EQ(c.item->cropX, c.clip.cropX);
      EXPECT_EQ(c.item->cropWidth, c.evenWidth);
      EXPECT_EQ(c.item->cropHeight, c.evenHeight);
      EXPECT_EQ(c.item->keepRatio, c.clip.keepRatio);
    } else {
      EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
      EXPECT_EQ(c.item->trimEnd, before.trimEnd);
      EXPECT_EQ(c.item->cropWidth, before.cropWidth);
    }
  }
  EXPECT_TRUE(session_->CanClip(*plain));
  EXPECT_TRUE(session_->CanClip(*upright));
  EXPECT_FALSE(session_->CanClip(*tilted));

  // A file that waits or converts keeps the clip its job reads.
  ASSERT_EQ(session_->StartList(ConvertKind::Video, out_), StartResult::Started);
  std::string why;
  EXPECT_FALSE(session_->SetClip(*plain, {0, 4, 0, 0, 160, 120, true}, &why));
  EXPECT_NE(why.find("converts"), std::string::npos) << why;
  EXPECT_EQ(plain->trimStart, 0);
  EXPECT_EQ(plain->cropHeight, 110);
}

// Video frames the file holds, counted packet by packet.
int VideoFrames(const std::string& file) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, file.c_str(), nullptr, nullptr) < 0) return -1;
  int frames = 0;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    const int video = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(ctx, packet) >= 0) {
      if (packet->stream_index == video) ++frames;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&ctx);
  return frames;
}

TEST_F(SessionTest, PartsThatShareTheirFormatsJoinAsTheyAre) {
  const std::vector<std::string> clips = {Media("one.mp4", Clip(2.0, 320, 240)),
                                          Media("two.mp4", Clip(2.0, 320, 240)),
                                          Media("three.mp4", Clip(2.0, 320, 240))};
  const std::vector<ItemPtr> parts = AddAnalysed(ConvertKind::Merge, clips);
  // The containers that store H.264 and AAC as they are; AVI would need the sound encoded.
  const std::vector<OutputFormat> offered = session_->PartsJoinFormats();
  for (OutputFormat f : {OutputFormat::Mp4, OutputFormat::Mkv, OutputFormat::Mov})
    EXPECT_NE(std::find(offered.begin(), offered.end(), f), offered.end()) << FormatToken(f);
  EXPECT_EQ(std::find(offered.begin(), offered.end(), OutputFormat::Avi), offered.end());

  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Merge, "menuex2_mkv_parts"),
            ChoiceResult::Applied);
  EXPECT_EQ(FormatLabel(session_->Choice(ConvertKind::Merge).format,
                        session_->Choice(ConvertKind::Merge).preset, "Source"),
            "MKV - Same as the parts");
  ASSERT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::Started);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::MergeEnded) == 1; }));
  // No part was converted: the join read the sources themselves.
  EXPECT_EQ(rec_.Count(Ev::Progress), 0);
  EXPECT_EQ(rec_.requests.at(0).parts, clips);
  const MergeOutcome& joined = rec_.outcomes.at(0);
  ASSERT_EQ(joined.end, MergeOutcome::End::Done) << joined.reason;
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{platform::FileNameOf(joined.outputPath)});
  EXPECT_EQ(VideoFrames(joined.outputPath), 3 * VideoFrames(clips[0]));
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 1; }));
  EXPECT_EQ(rec_.runs[0].converted, 1);
  for (const std::string& clip : clips) EXPECT_TRUE(platform::IsRegularFile(clip)) << clip;
  EXPECT_EQ(rec_.Count(Ev::ChoiceReset), 0);

  // A part that differs, added later, puts the list back on a size and says why.
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Merge, {OutputFormat::Mp4, SizePreset::Parts}));
  const ItemPtr odd = AddAnalysed(ConvertKind::Merge, {Media("odd.mkv", Clip(1.0, 160, 120))}).at(0);
  ASSERT_EQ(rec_.resets.size(), 1u);
  EXPECT_EQ(rec_.resets[0], "part 4 is 160x120 where part 1 is 320x240");
  EXPECT_EQ(session_->Choice(ConvertKind::Merge).preset, DefaultChoice(ConvertKind::Merge).preset);
  EXPECT_EQ(odd->sizePreset, DefaultChoice(ConvertKind::Merge).preset);
  EXPECT_TRUE(session_->PartsJoinFormats().empty());

  // So does a trimmed part.
  session_->RemoveItem(odd);
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Merge, {OutputFormat::Mp4, SizePreset::Parts}));
  ItemClip clip = ClipOf(*parts[1]);
  clip.trimEnd = 1;
  std::string why;
  ASSERT_TRUE(session_->SetClip(*parts[1], clip, &why)) << why;
  ASSERT_EQ(rec_.resets.size(), 2u);
  EXPECT_EQ(rec_.resets[1], "part 2 is trimmed");

  // Mixed parts take today's way: each is converted, then joined.
  ASSERT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::Started);
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::MergeEnded) == 2; }));
  EXPECT_EQ(rec_.outcomes.at(1).end, MergeOutcome::End::Done) << rec_.outcomes.at(1).reason;
  EXPECT_NE(rec_.requests.at(1).parts, clips);
  EXPECT_GT(rec_.Count(Ev::Progress), 0);
}

TEST_F(SessionTest, AFailedMergePartSendsTheLaterPartsBackToIdle) {
  std::string good = Media("good.mp4", Clip(1.0, 160, 120));
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Merge, {OutputFormat::Mp4, SizePreset::Phone}));
  auto parts = AddAnalysed(ConvertKind::Merge, {good, Garbage("bad.mp4"), good});
  ASSERT_EQ(session_->StartList(ConvertKind::Merge, out_), StartResult::Started);
  // The first part's success may be reported after the second one failed.
  ASSERT_TRUE(DrainUntil([&] {
    return rec_.Count(Ev::MergePartFailed) == 1 && rec_.Count(Ev::Failed, parts[1].get()) == 1 &&
           rec_.Count(Ev::Done, parts[0].get()) == 1;
  }));
  EXPECT_EQ(parts[0]->state.load(), ItemState::Done);
  EXPECT_EQ(parts[1]->state.load(), ItemState::Failed);
  EXPECT_EQ(parts[2]->state.load(), ItemState::Idle);
  EXPECT_EQ(rec_.Count(Ev::Progress, parts[2].get()), 0);
  // Every part was redrawn before the notice: once queued, once after the failure.
  for (const ItemPtr& p : parts) {
    EXPECT_EQ(rec_.Count(Ev::Changed, p.get()), 2);
    EXPECT_LT(rec_.Last(Ev::Changed, p.get()), rec_.First(Ev::MergePartFailed));
  }
  EXPECT_EQ(rec_.Count(Ev::MergeStarted), 0);
  // The run ends with the failure: no join comes.
  ASSERT_TRUE(DrainUntil([&] { return rec_.Count(Ev::RunEnded) == 1; }));
  EXPECT_EQ(rec_.runs[0].failed, std::vector<std::string>{"bad.mp4"});
  EXPECT_EQ(rec_.runs[0].stopped, 1);
}

TEST_F(SessionTest, FormatChoicesApplyToItemsAtRest) {
  std::string hd = Media("hd.mp4", Clip(1.0, 1920, 1080));
  std::string song = Media("song.m4a", Clip(2.0, 0, 0));
  const ItemPtr video = AddAnalysed(ConvertKind::Video, {hd}).at(0);
  const ItemPtr gif = AddAnalysed(ConvertKind::Gif, {hd}).at(0);
  const ItemPtr audio = AddAnalysed(ConvertKind::Audio, {song}).at(0);
  ASSERT_FALSE(audio->audioBitRateText.empty());
  ASSERT_NE(audio->audioBitRateText, "96");
  // The lists' starting choices, filled in once the sizes are known.
  EXPECT_EQ(video->outputResolutionText, "1920x1080");
  EXPECT_EQ(gif->outputResolutionText, "1280x720");  // GIF at the source size stays within 720 lines
  EXPECT_EQ(audio->outputExtension, "mp3");
  EXPECT_EQ(audio->outputAudioBitRateText, audio->audioBitRateText);

  struct Case {
    ConvertKind list;
    const char* menu;
    const char* label;
    VideoItem* item;
    const char* ext;
    SizePreset preset;
    std::string resolution;  // "-": not looked at
    std::string bitRate;
  } cases[] = {
      {ConvertKind::Video, "menuex_mp4_720", "MP4 - 720p", video.get(), "mp4",
       SizePreset::Size720, "1280x720", "-"},
      // A token the list does not offer changes nothing of its own kind.
      {ConvertKind::Video, "menuex_mkv_gif_96", "MKV - 720p", video.get(), "mkv",
       SizePreset::Size720, "1280x720", "-"},
      {ConvertKind::Gif, "menuex_gif_dvd", "GIF - 720p", gif.get(), "gif", SizePreset::Dvd,
       "1280x720", "-"},
      {ConvertKind::Gif, "menuex_gif_phone", "GIF - 200p", gif.get(), "gif", SizePreset::Phone,
       "356x200", "-"},
      {ConvertKind::Audio, "menuex_mp3_128", "MP3 - 128 kbps", audio.get(), "mp3",
       SizePreset::Audio128, "-", "128"},
      {ConvertKind::Audio, "menuex_mp3_96", "MP3 - 96 kbps", audio.get(), "mp3",
       SizePreset::Audio96, "-", "96"},
      {ConvertKind::Audio, "menuex_m4a_origin", "M4A - Source", audio.get(), "m4a",
       SizePreset::Origin, "-", audio->audioBitRateText},
      // The file takes the format's extension, not its token.
      {ConvertKind::Video, "menuex_hevc_720", "HEVC - 720p", video.get(), "mp4",
       SizePreset::Size720, "1280x720", "-"},
      {ConvertKind::Video, "menuex_av1_phone", "AV1 - 240p", video.get(), "webm",
       SizePreset::Phone, "320x240", "-"},
      {ConvertKind::Audio, "menuex_opus_96", "OPUS - 96 kbps", audio.get(), "opus",
       SizePreset::Audio96, "-", "96"},
      // FLAC has no bit rate to choose: it takes the list's starting preset,
      // whatever the name or the choice before it held.
      {ConvertKind::Audio, "menuex_flac_128", "FLAC - Source", audio.get(), "flac",
       SizePreset::Origin, "-", audio->audioBitRateText},
      {ConvertKind::Audio, "menuex_opus_256", "OPUS - 256 kbps", audio.get(), "opus",
       SizePreset::Audio256, "-", "256"},
      {ConvertKind::Audio, "menuex_wav", "WAV - Source", audio.get(), "wav",
       SizePreset::Origin, "-", audio->audioBitRateText},
  };
  for (const Case& c : cases) {
    const int changed = rec_.Count(Ev::Changed, c.item);
    EXPECT_EQ(session_->ApplyFormatChoice(c.list, c.menu), ChoiceResult::Applied) << c.menu;
    ListChoice now = session_->Choice(c.list);
    EXPECT_EQ(FormatLabel(now.format, now.preset, "Source"), c.label) << c.menu;
    EXPECT_EQ(c.item->outputExtension, c.ext) << c.menu;
    EXPECT_EQ(c.item->sizePreset, c.preset) << c.menu;
    // The values the commands read, and the texts the rows show of them.
    if (c.resolution != "-") {
      EXPECT_EQ(c.item->outputResolutionText, c.resolution) << c.menu;
      EXPECT_EQ(SizeText({c.item->outputWidth, c.item->outputHeight}), c.resolution) << c.menu;
    }
    if (c.bitRate != "-") {
      EXPECT_EQ(c.item->outputAudioBitRateText, c.bitRate) << c.menu;
      EXPECT_EQ(c.item->outputAudioKbps, c.preset == SizePreset::Origin ? 0 : std::stoi(c.bitRate))
          << c.menu;
    }
    EXPECT_EQ(rec_.Count(Ev::Changed, c.item), changed + 1) << c.menu;
  }

  // A file added later takes the list's current choice at once.
  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Audio, "menuex_mp3_256"), ChoiceResult::Applied);
  const ItemPtr late = session_->AddFiles(ConvertKind::Audio, {song}).at(0);
  EXPECT_EQ(late->outputExtension, "mp3");
  EXPECT_EQ(late->sizePreset, SizePreset::Audio256);
  EXPECT_EQ(late->outputAudioBitRateText, "256");
  EXPECT_FALSE(session_->SetChoice(ConvertKind::Audio, {OutputFormat::Mp4, SizePreset::Origin}));
  EXPECT_FALSE(session_->SetChoice(ConvertKind::Gif, {OutputFormat::Gif, SizePreset::Audio96}));
  EXPECT_FALSE(session_->SetChoice(ConvertKind::Audio, {OutputFormat::Wav, SizePreset::Audio128}));
  EXPECT_TRUE(session_->SetChoice(ConvertKind::Audio, {OutputFormat::Flac, SizePreset::Origin}));
  EXPECT_EQ(late->outputExtension, "flac");
  EXPECT_EQ(late->outputAudioKbps, 0);
}

TEST_F(SessionTest, MergePartsAtTheSourceSizeShareTheFirstPartsSize) {
  auto parts = AddAnalysed(ConvertKind::Merge, {Media("m1.mp4", Clip(1.0, 320, 240)),
                                                Media("m2.mp4", Clip(1.0, 160, 120))});
  for (const ItemPtr& p : parts) EXPECT_EQ(p->outputResolutionText, "1280x720");
  // The menu offers no source size for the merge list.
  EXPECT_EQ(session_->ApplyFormatChoice(ConvertKind::Merge, "menuex2_mp4_origin"),
            ChoiceResult::Applied);
  EXPECT_EQ(session_->Choice(ConvertKind::Merge).preset, SizePreset::Size720);
  // A command line may ask for it: every part then takes the first part's size.
  ASSERT_TRUE(session_->SetChoice(ConvertKind::Merge, {OutputFormat::Mp4, SizePreset::Origin}));
  for (const ItemPtr& p : parts) EXPECT_EQ(p->outputResolutionText, "320x240");
  EXPECT_TRUE(session_->MoveItem(parts[1], -1));
  EXPECT_FALSE(session_->MoveItem(parts[1], -1));
  EXPECT_FALSE(session_->MoveItem(parts[0], +1));
  for (const ItemPtr& p : parts) EXPECT_EQ(p->outputResolutionText, "160x120");
  session_->RemoveItem(parts[1]);
  EXPECT_EQ(parts[0]->outputResolutionText, "320x240");
}

TEST_F(SessionTest, RenamingRefusesNamesThatAreNoFileName) {
  const ItemPtr item = session_->AddFiles(ConvertKind::Video, {Media("x.mp4")}).at(0);
  for (const char* bad : {"", ".", "..", "a/b", "line\nbreak", "cr\rname"}) {
    std::string why;
    EXPECT_FALSE(session_->RenameItem(*item, bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
    EXPECT_EQ(item->outputName, "x");
  }
  std::string why;
  EXPECT_TRUE(session_->RenameItem(*item, "holiday .. final", &why));
  EXPECT_EQ(item->outputName, "holiday .. final");
}

}  // namespace
