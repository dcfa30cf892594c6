// The queue behind the lists: an analysis worker that probes added files and
// makes their covers, and a conversion worker that converts queued items one
// at a time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/work_dirs.h"

namespace engine {

struct NotifyTarget;
struct VideoItem;
class CUtilTransform;

using ItemPtr = std::shared_ptr<VideoItem>;

class ConvertQueue {
 public:
  // Starts both workers at once.
  ConvertQueue(NotifyTarget* owner, const EngineDirs& dirs);
  ~ConvertQueue();  // Shutdown()
  ConvertQueue(const ConvertQueue&) = delete;
  ConvertQueue& operator=(const ConvertQueue&) = delete;

  // Whether the analysis makes cover pictures (a front end without pictures
  // has no use for them). Set before items are added.
  void SetMakeCovers(bool make) { makeCovers_ = make; }
  // Hands newly added items to the analysis worker, in their order. An item
  // stopped before (or while) it is analysed stays unanalysed.
  void AddForAnalysis(const std::vector<ItemPtr>& items);
  // Puts an item (already set Queued) at the end of the queue. An item that
  // was stopped before its analysis goes to the analysis again, since its
  // job waits for it.
  void Enqueue(const ItemPtr& item);
  // Lets the conversion worker take what was queued.
  void Wake();
  // Stops the item: Stopped, its job ended, out of the queue, kept until shutdown.
  void Remove(const ItemPtr& item);
  // Ends the item's job (after its final message); the item keeps its state.
  void DestroyJob(VideoItem* item);
  // The item's current job, or none.
  std::shared_ptr<CUtilTransform> JobOf(VideoItem* item);
  // Stops everything, ends both workers and every child process.
  void Shutdown();

 protected:
  // The job for the item; cache formats get jobs of their own.
  virtual std::shared_ptr<CUtilTransform> CreateJob(VideoItem* item);

 private:
  void AnalysisMain();
  void ConversionMain();
  // Runs the batch, items started on their own first. A merge part that
  // failed or was stopped sends the later parts back to Idle; then the owner
  // gets WM_MERGE_FAILED for a failure, else WM_MERGE_PARTS_RESET.
  void RunBatch(const std::vector<ItemPtr>& batch);
  // Under queueMutex_.
  void DestroyJobLocked(VideoItem* item);

  NotifyTarget* const owner_;
  const EngineDirs dirs_;

  // Conversion part.
  std::mutex queueMutex_;
  std::condition_variable conversionCv_;
  std::vector<ItemPtr> queue_;
  std::vector<ItemPtr> stopped_;
  bool conversionWork_ = false;
  bool conversionQuit_ = false;
  std::atomic<bool> conversionStop_{false};
  std::thread conversionThread_;

  // Analysis part. Every item the worker will still analyse is in pending_
  // or is analysing_: Enqueue() relies on that to tell a dropped item.
  std::mutex pendingMutex_;
  std::condition_variable analysisCv_;
  std::deque<ItemPtr> pending_;
  ItemPtr analysing_;              // the item the analysis worker has in hand
  bool analysingStopped_ = false;  // it was stopped meanwhile: its result is dropped
  bool analysisQuit_ = false;
  std::atomic<bool> analysisStop_{false};  // set at shutdown
  std::atomic<bool> makeCovers_{true};
  std::thread analysisThread_;

  std::mutex shutdownMutex_;
  bool shutDown_ = false;
};

}  // namespace engine
