// The queue's two workers with real files and the real transcoder.
#include <signal.h>

#include <mutex>
#include <thread>

#include "engine/convert_queue.h"
#include "engine/format_catalog.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "platform/event.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::WriteText;

namespace {

// A queue that notes the order in which its worker starts jobs, and whether a
// job started while an earlier one still ran.
class WatchedQueue : public ConvertQueue {
 public:
  using ConvertQueue::ConvertQueue;
  // Before this part goes: the worker calls CreateJob until it ends.
  ~WatchedQueue() { Shutdown(); }

  std::vector<void*> Started() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
  }
  bool Overlapped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return overlapped_;
  }

 protected:
  std::shared_ptr<CUtilTransform> CreateJob(VideoItem* item) override {
    std::shared_ptr<CUtilTransform> job = ConvertQueue::CreateJob(item);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::weak_ptr<CUtilTransform>& earlier : jobs_) {
      std::shared_ptr<CUtilTransform> running = earlier.lock();
      if (running && !running->RunnerEnded().isSet()) overlapped_ = true;
    }
    jobs_.push_back(job);
    started_.push_back(item);
    return job;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<CUtilTransform>> jobs_;
  std::vector<void*> started_;
  bool overlapped_ = false;
};

class QueueTest : public EngineTest {
 protected:
  ItemPtr Add(ConvertQueue& queue, const std::string& source, ConvertKind kind,
              const std::string& ext) {
    auto item = std::make_shared<VideoItem>(source, kind);
    item->outputDir = out_;
    item->outputExtension = ext;
    ParseFormatToken(ext, &item->outputFormat);
    if (kind == ConvertKind::Merge) item->outputName = "merge_" + item->itemId;
    queue.AddForAnalysis({item});
    return item;
  }
  void Queue(ConvertQueue& queue, const ItemPtr& item, int runFirst = 0) {
    item->runFirst = runFirst;
    item->state = ItemState::Queued;
    queue.Enqueue(item);
  }
  // The items whose conversions finished, in the order of their reports
  // (which need not be the order of the runs).
  std::vector<void*> Finished() {
    std::vector<void*> order;
    for (const Message& m : recorder_.Messages())
      if (m.msg == WM_CONVERT_PROGRESS && m.lParam == 100) order.push_back(m.wParam);
    return order;
  }
  bool WaitFinished(size_t n) {
    return recorder_.WaitUntil([&](const std::vector<Message>& list) {
      size_t done = 0;
      for (const Message& m : list)
        if ((m.msg == WM_CONVERT_PROGRESS && m.lParam == 100) || m.msg == WM_CONVERT_FAILED)
          ++done;
      return done >= n;
    });
  }
  Recorder recorder_;
};

TEST_F(QueueTest, AnalysisFillsItemsAndReportsEachOnce) {
  ConvertQueue queue(&recorder_, dirs_);
  auto a = Add(queue, Media("a.mp4", testsupport::Clip(6.5, 160, 120)), ConvertKind::Video, "mp4");
  auto b = Add(queue, Media("b.mp3", testsupport::Clip(2.0, 0, 0)), ConvertKind::Audio, "mp3");
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>&) {
    return a->analysed && b->analysed;
  }));
  EXPECT_EQ(a->durationSeconds, 6);
  EXPECT_EQ(a->trimEnd, 6);
  EXPECT_EQ(a->cropWidth, 160);
  EXPECT_TRUE(platform::FileExists(a->coverPath));
  EXPECT_EQ(b->coverPath, "");  // a sound file gets no cover
  EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, a.get()), 1);
  EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, b.get()), 1);
}

TEST_F(QueueTest, ItemsConvertOneAtATimeInListOrderWithStartedOnesFirst) {
  std::string source = Media("s.mp4", testsupport::Clip(1.0, 160, 120));
  // Before the queue's workers start and after they end: it changes PATH.
  TranscoderWatch watch(path("watch"));
  WatchedQueue queue(&recorder_, dirs_);
  auto a = Add(queue, source, ConvertKind::Video, "mp4");
  auto b = Add(queue, source, ConvertKind::Video, "mkv");
  auto c = Add(queue, source, ConvertKind::Video, "mov");
  Queue(queue, a);
  Queue(queue, b);
  Queue(queue, c, 1);  // started on its own
  queue.Wake();
  ASSERT_TRUE(WaitFinished(3));
  EXPECT_EQ(queue.Started(), (std::vector<void*>{c.get(), a.get(), b.get()}));
  EXPECT_FALSE(queue.Overlapped());
  EXPECT_EQ(watch.Started(), 3);
  EXPECT_EQ(watch.Overlaps(), 0) << "two transcoders were alive at once";
  EXPECT_EQ(Finished().size(), 3u);
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED), 0);
}

TEST_F(QueueTest, ItemsQueuedDuringABatchWaitForTheNextOne) {
  WatchedQueue queue(&recorder_, dirs_);
  auto slow = Add(queue, Media("slow.mp4", testsupport::Clip(12.0, 640, 480)), ConvertKind::Video, "mkv");
  auto quick = Add(queue, Media("quick.mp4", testsupport::Clip(1.0, 160, 120)), ConvertKind::Video, "mp4");
  Queue(queue, slow);
  queue.Wake();
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>&) {
    return slow->state.load() == ItemState::Converting;
  }));
  Queue(queue, quick, 1);  // run-first does not jump into the running batch
  queue.Wake();
  ASSERT_TRUE(WaitFinished(2));
  EXPECT_EQ(queue.Started(), (std::vector<void*>{slow.get(), quick.get()}));
  EXPECT_FALSE(queue.Overlapped());
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED), 0);
}

TEST_F(QueueTest, AFailedMergePartStopsTheRestOfTheMerge) {
  std::string good = Media("good.mp4", testsupport::Clip(1.0, 160, 120));
  std::string bad = path("bad.mp4");
  WriteText(bad, std::string(2048, 'z'));
  ConvertQueue queue(&recorder_, dirs_);
  auto p1 = Add(queue, good, ConvertKind::Merge, "mp4");
  auto p2 = Add(queue, bad, ConvertKind::Merge, "mp4");
  auto p3 = Add(queue, good, ConvertKind::Merge, "mp4");
  for (const ItemPtr& p : {p1, p2, p3}) Queue(queue, p);
  queue.Wake();
  ASSERT_TRUE(recorder_.WaitFor(WM_MERGE_FAILED, nullptr));
  EXPECT_EQ(p2->state.load(), ItemState::Failed);
  EXPECT_EQ(p3->state.load(), ItemState::Idle);
  EXPECT_FALSE(queue.JobOf(p3.get()));
  // Once the workers and every job have ended, nothing more can come.
  queue.Shutdown();
  EXPECT_EQ(recorder_.Count(WM_MERGE_FAILED), 1);
  EXPECT_EQ(recorder_.Count(WM_MERGE_PARTS_RESET), 0);  // the failure says it all
  EXPECT_EQ(recorder_.Count(WM_CONVERT_PROGRESS, p3.get()), 0);
}

TEST_F(QueueTest, AStoppedMergePartIsNoFailureAndMayStartAgainAtOnce) {
  std::string quick = Media("quick.mp4", testsupport::Clip(1.0, 160, 120));
  ConvertQueue queue(&recorder_, dirs_);
  auto p1 = Add(queue, Media("slow.mp4", testsupport::Clip(30.0, 640, 480)), ConvertKind::Merge, "mp4");
  auto p2 = Add(queue, quick, ConvertKind::Merge, "mp4");
  auto p3 = Add(queue, quick, ConvertKind::Merge, "mp4");
  for (const ItemPtr& p : {p1, p2, p3}) Queue(queue, p);
  queue.Wake();
  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, p1.get()));
  queue.Remove(p1);
  EXPECT_EQ(p1->state.load(), ItemState::Stopped);
  // Started again before the worker may have looked at its stopped run; a
  // second of it is enough here.
  p1->trimEnd = 1;
  Queue(queue, p1, 1);
  queue.Wake();
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>& list) {
    bool reset = false, finished = false;
    for (const Message& m : list) {
      reset = reset || m.msg == WM_MERGE_PARTS_RESET;
      finished = finished || (m.msg == WM_CONVERT_PROGRESS && m.wParam == p1.get() && m.lParam == 100);
    }
    return reset && finished;
  }));
  // The parts after the stopped one cannot be joined without it: back to
  // Idle, not run. The restarted part kept its new run.
  EXPECT_EQ(p2->state.load(), ItemState::Idle);
  EXPECT_EQ(p3->state.load(), ItemState::Idle);
  EXPECT_EQ(p1->state.load(), ItemState::Converting);  // until its owner takes the report
  queue.Shutdown();
  EXPECT_EQ(recorder_.Count(WM_MERGE_FAILED), 0);
  EXPECT_EQ(recorder_.Count(WM_MERGE_PARTS_RESET), 1);
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED), 0);
  EXPECT_EQ(recorder_.Count(WM_CONVERT_PROGRESS, p2.get()), 0);
  EXPECT_EQ(recorder_.Count(WM_CONVERT_PROGRESS, p3.get()), 0);
}

TEST_F(QueueTest, StoppingAConvertingItemEndsItAndTheWorkerGoesOn) {
  ConvertQueue queue(&recorder_, dirs_);
  auto slow = Add(queue, Media("slow.mp4", testsupport::Clip(30.0, 640, 480)), ConvertKind::Video, "mkv");
  auto next = Add(queue, Media("next.mp4", testsupport::Clip(1.0, 160, 120)), ConvertKind::Video, "mp4");
  Queue(queue, slow);
  Queue(queue, next);
  queue.Wake();
  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, slow.get()));
  queue.Remove(slow);
  EXPECT_EQ(slow->state.load(), ItemState::Stopped);
  EXPECT_FALSE(queue.JobOf(slow.get()));
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(Finished(), std::vector<void*>{next.get()});
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"next.mp4"});
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED, slow.get()), 0);
}

TEST_F(QueueTest, ClearingAListDropsOnlyItsStoppedItemsFromAnalysis) {
  std::string source = Media("s.mp4", testsupport::Clip(1.0, 160, 120));
  ConvertQueue queue(&recorder_, dirs_);
  recorder_.HoldSends(true);  // the window is busy: the worker waits in its refresh
  auto first = Add(queue, source, ConvertKind::Video, "mp4");
  auto cleared = std::make_shared<VideoItem>(source, ConvertKind::Gif);
  auto other = std::make_shared<VideoItem>(source, ConvertKind::Video);
  queue.AddForAnalysis({cleared, other});
  ASSERT_TRUE(recorder_.WaitFor(WM_ITEM_INFO_CHANGED, first.get()));
  queue.Remove(cleared);  // the GIF list is cleared
  recorder_.HoldSends(false);
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>&) { return other->analysed.load(); }));
  EXPECT_FALSE(cleared->analysed);
  EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, cleared.get()), 0);
  // The other list's item can still convert.
  other->outputDir = out_;
  other->outputExtension = "mov";
  other->outputFormat = media::OutputFormat::Mov;
  Queue(queue, other);
  queue.Wake();
  EXPECT_TRUE(WaitFinished(1));
}

TEST_F(QueueTest, AnItemStoppedBeforeItsAnalysisIsAnalysedWhenQueuedAgain) {
  std::string source = Media("s.mp4", testsupport::Clip(2.0, 160, 120));
  ConvertQueue queue(&recorder_, dirs_);
  recorder_.HoldSends(true);  // the worker waits in the first item's refresh
  auto first = Add(queue, source, ConvertKind::Video, "mp4");
  ASSERT_TRUE(recorder_.WaitFor(WM_ITEM_INFO_CHANGED, first.get()));
  auto dropped = Add(queue, source, ConvertKind::Video, "mkv");
  auto later = Add(queue, source, ConvertKind::Video, "mov");
  queue.Remove(dropped);
  recorder_.HoldSends(false);
  // The worker has gone past the stopped item.
  ASSERT_TRUE(recorder_.WaitUntil([&](const std::vector<Message>&) { return later->analysed.load(); }));
  EXPECT_FALSE(dropped->analysed);

  Queue(queue, dropped);  // started again: its job waits for the analysis
  queue.Wake();
  ASSERT_TRUE(WaitFinished(1));
  EXPECT_EQ(Finished(), std::vector<void*>{dropped.get()});
  EXPECT_EQ(dropped->durationSeconds, 2);
  EXPECT_EQ(recorder_.Count(WM_ITEM_INFO_CHANGED, dropped.get()), 1);
}

TEST_F(QueueTest, ShutdownEndsEverythingEvenDuringARefresh) {
  auto queue = std::make_unique<ConvertQueue>(&recorder_, dirs_);
  auto running = Add(*queue, Media("slow.mp4", testsupport::Clip(30.0, 640, 480)), ConvertKind::Video, "mkv");
  Queue(*queue, running);
  queue->Wake();
  ASSERT_TRUE(recorder_.WaitFor(WM_CONVERT_PROGRESS, running.get()));
  recorder_.HoldSends(true);
  auto waiting = Add(*queue, Media("w.mp4", testsupport::Clip(1.0, 160, 120)), ConvertKind::Video, "mp4");
  ASSERT_TRUE(recorder_.WaitFor(WM_ITEM_INFO_CHANGED, waiting.get()));

  // The analysis worker waits in a refresh that nobody answers, and the
  // transcoder is frozen, so it never ends by itself: the shutdown must let
  // go of the one and kill the other. Should it wait for either, the test
  // releases both and fails instead of hanging.
  const std::vector<int> pids = ChildTranscoderPids();
  ASSERT_EQ(pids.size(), 1u);
  ASSERT_EQ(kill(pids[0], SIGSTOP), 0);
  platform::Event shutDown;
  std::thread closer([&] {
    queue->Shutdown();
    shutDown.set();
  });
  const bool ended = shutDown.waitFor(std::chrono::seconds(60));
  if (!ended) {
    recorder_.HoldSends(false);
    kill(pids[0], SIGKILL);  // not reaped yet: still our child
  }
  closer.join();
  EXPECT_TRUE(ended) << "the shutdown waited for the refresh or the transcoder";
  EXPECT_EQ(ChildTranscoders(), 0);
  EXPECT_EQ(running->state.load(), ItemState::Stopped);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{});
  EXPECT_EQ(platform::EmptyFolder(dirs_.log), 0);
  queue.reset();
}

TEST_F(QueueTest, AFailedItemIsReportedAndTheNextOneStillConverts) {
  std::string bad = path("bad.mp4");
  WriteText(bad, std::string(2048, 'z'));
  std::string good = Media("good.mp4", testsupport::Clip(1.0, 160, 120));
  ConvertQueue queue(&recorder_, dirs_);
  auto failing = Add(queue, bad, ConvertKind::Video, "mkv");
  auto next = Add(queue, good, ConvertKind::Video, "mp4");
  Queue(queue, failing);
  Queue(queue, next);
  queue.Wake();
  ASSERT_TRUE(WaitFinished(2));
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED, failing.get()), 1);
  EXPECT_EQ(Finished(), std::vector<void*>{next.get()});
  EXPECT_EQ(recorder_.Count(WM_CONVERT_FAILED, next.get()), 0);
  EXPECT_EQ(FolderEntries(out_), std::vector<std::string>{"good.mp4"});
}

}  // namespace
