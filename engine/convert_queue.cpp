#include "engine/convert_queue.h"

#include <algorithm>

#include "engine/cache_transform.h"
#include "engine/messages.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "media/media_info.h"
#include "platform/files.h"
#include "platform/thread_signal_stack.h"

namespace engine {
namespace {

void Erase(std::vector<ItemPtr>& list, const ItemPtr& item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

ConvertQueue::ConvertQueue(NotifyTarget* owner, const EngineDirs& dirs)
    : owner_(owner), dirs_(dirs) {
  dirs_.Ensure();
  conversionThread_ = std::thread(&ConvertQueue::ConversionMain, this);
  analysisThread_ = std::thread(&ConvertQueue::AnalysisMain, this);
}

ConvertQueue::~ConvertQueue() { Shutdown(); }

void ConvertQueue::AddForAnalysis(const std::vector<ItemPtr>& items) {
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    pending_.insert(pending_.end(), items.begin(), items.end());
  }
  analysisCv_.notify_all();
}

void ConvertQueue::Enqueue(const ItemPtr& item) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    Erase(stopped_, item);
    Erase(queue_, item);
    queue_.push_back(item);
  }
  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    if (item->analysed.load() || analysisQuit_) return;
    bool coming = std::find(pending_.begin(), pending_.end(), item) != pending_.end() ||
                  (analysing_ == item && !analysingStopped_);
    if (coming) return;
    // Dropped when it was stopped: its job would wait for it forever. It goes
    // first, since the conversion worker may be waiting for it already.
    pending_.push_front(item);
  }
  analysisCv_.notify_all();
}

void ConvertQueue::Wake() {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    conversionWork_ = true;
  }
  conversionCv_.notify_all();
}

void ConvertQueue::Remove(const ItemPtr& item) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (std::find(stopped_.begin(), stopped_.end(), item) == stopped_.end())
      stopped_.push_back(item);
    item->state = ItemState::Stopped;
    item->coverProcess.kill();
    DestroyJobLocked(item.get());
    Erase(queue_, item);
  }
  std::lock_guard<std::mutex> lock(pendingMutex_);
  if (analysing_ == item) analysingStopped_ = true;
}

void ConvertQueue::DestroyJob(VideoItem* item) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  DestroyJobLocked(item);
}

std::shared_ptr<CUtilTransform> ConvertQueue::JobOf(VideoItem* item) {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return item->job;
}

void ConvertQueue::DestroyJobLocked(VideoItem* item) {
  if (!item->job) return;
  item->job->Stop();
  item->job.reset();
}

std::shared_ptr<CUtilTransform> ConvertQueue::CreateJob(VideoItem* item) {
  return MakeJob(item, owner_, dirs_);
}

void ConvertQueue::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(shutdownMutex_);
    if (shutDown_) return;
    shutDown_ = true;
  }
  // Stop flags first: a worker inside a synchronous refresh gives up on it.
  conversionStop_ = true;
  analysisStop_ = true;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    for (const ItemPtr& item : queue_) {
      item->state = ItemState::Stopped;
      DestroyJobLocked(item.get());
    }
    queue_.clear();
    conversionQuit_ = true;
  }
  conversionCv_.notify_all();
  if (conversionThread_.joinable()) conversionThread_.join();

  {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    analysisQuit_ = true;
    // A cover process of an item still being analysed must not hold up the exit.
    if (analysing_) analysing_->coverProcess.kill();
    pending_.clear();
  }
  analysisCv_.notify_all();
  if (analysisThread_.joinable()) analysisThread_.join();

  std::lock_guard<std::mutex> lock(queueMutex_);
  for (const ItemPtr& item : stopped_) item->coverProcess.kill();
  stopped_.clear();
}

void ConvertQueue::AnalysisMain() {
  platform::ThreadSignalStack signalStack;
  for (;;) {
    ItemPtr item;
    {
      std::unique_lock<std::mutex> lock(pendingMutex_);
      analysing_.reset();
      analysisCv_.wait(lock, [this] { return !pending_.empty() || analysisQuit_; });
      if (analysisQuit_) return;
      item = pending_.front();
      pending_.pop_front();
      // A stopped item (its list is being cleared, or it was stopped) waits
      // until it is queued again; the other items are still wanted.
      if (item->analysed.load() || item->state.load() == ItemState::Stopped) continue;
      analysing_ = item;
      analysingStopped_ = false;
    }
    if (ProbeItem(*item) && item->cacheKind == media::CacheKind::None && makeCovers_)
      MakeItemCover(*item, dirs_.cover, dirs_.work);
    {
      // Decided once, here. Stopped while in hand: the probe or the cover may
      // have been cut short, so the item stays unanalysed and a later Enqueue
      // hands it over again. Remove sets the state before it kills the cover
      // and only then marks analysingStopped_: either one counts.
      std::lock_guard<std::mutex> lock(pendingMutex_);
      if (analysingStopped_ || item->state.load() == ItemState::Stopped) continue;
    }
    // Past that point the facts are whole: they are reported even if a stop
    // comes meanwhile (the owner ignores an item it no longer lists), so an
    // analysed item's owner always learned them.
    if (!analysisStop_) owner_->send(WM_ITEM_INFO_CHANGED, item.get(), 0, &analysisStop_);
    item->analysed = true;
  }
}

void ConvertQueue::ConversionMain() {
  platform::ThreadSignalStack signalStack;
  for (;;) {
    std::vector<ItemPtr> batch;
    {
      std::unique_lock<std::mutex> lock(queueMutex_);
      conversionCv_.wait(lock, [this] { return conversionWork_ || conversionQuit_; });
      if (conversionQuit_) return;
      conversionWork_ = false;
      for (const ItemPtr& item : queue_) {
        if (conversionStop_) break;
        ItemState queued = ItemState::Queued;
        if (item->state.compare_exchange_strong(queued, ItemState::Converting))
          batch.push_back(item);
      }
    }
    RunBatch(batch);
  }
}

void ConvertQueue::RunBatch(const std::vector<ItemPtr>& batch) {
  // The worker only ever moves an item on from Converting: a state that the
  // owner set meanwhile (Stopped, Done, Failed, Queued again) stands.
  auto leaveConverting = [](const ItemPtr& item, ItemState to) {
    ItemState converting = ItemState::Converting;
    item->state.compare_exchange_strong(converting, to);
    return converting;  // the state it had: Converting when it moved
  };
  // A merge that lost a part cannot be joined: the later parts go back to
  // Idle. Only a part that failed makes that a failure; a stop is the user's.
  bool mergeBroken = false;
  bool mergeFailed = false;
  bool partsReset = false;
  for (int pass : {1, 0}) {
    for (const ItemPtr& item : batch) {
      if (conversionStop_) break;
      if (item->runFirst.load() != pass || item->state.load() != ItemState::Converting) continue;
      if (mergeBroken && item->listKind == ConvertKind::Merge) {
        if (leaveConverting(item, ItemState::Idle) == ItemState::Converting) partsReset = true;
        continue;
      }
      std::shared_ptr<CUtilTransform> job;
      {
        // The state check and the storing of the job are one step for Remove
        // and Shutdown: a stop never lands between them.
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (conversionStop_ || item->state.load() != ItemState::Converting) continue;
        job = CreateJob(item.get());
        item->job = job;
        job->Start();
      }
      job->RunnerEnded().wait();
      if (item->listKind != ConvertKind::Merge) continue;

      // A part counts by its job's verdict, not by whether some file is there.
      // A runner that ended without one was stopped.
      const JobVerdict verdict = job->Verdict();
      if (verdict == JobVerdict::Stopped || verdict == JobVerdict::Pending ||
          item->state.load() == ItemState::Stopped) {
        mergeBroken = true;
        continue;
      }
      if (verdict == JobVerdict::Succeeded && platform::FileSize(job->OutputPath()) > 0) continue;
      // Failed, or its file went. Once the owner took the part as Done, the
      // part is the owner's: the join checks its file before it runs.
      const ItemState was = leaveConverting(item, ItemState::Failed);
      if (was == ItemState::Done) continue;
      mergeBroken = true;
      mergeFailed = true;
    }
  }
  if (conversionStop_) return;
  if (mergeFailed) owner_->post(WM_MERGE_FAILED, nullptr, 0);
  else if (partsReset) owner_->post(WM_MERGE_PARTS_RESET, nullptr, 0);
}

}  // namespace engine
