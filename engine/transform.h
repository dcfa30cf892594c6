// One conversion job: runs the transcoder for one item on a runner thread and
// follows its progress file on a monitor thread, reporting to the owner.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/transcoder_job.h"
#include "engine/work_dirs.h"

namespace engine {

struct NotifyTarget;
struct VideoItem;

struct CommandInputs;

// What a job's command takes beside the item: its progress file, the output
// it chose and the install setting for the muxing queue.
CommandInputs JobCommandInputs(const VideoItem& item, const std::string& progressPath,
                               const std::string& outputPath);

class CUtilTransform : public TranscoderJob {
 public:
  CUtilTransform(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs);
  ~CUtilTransform() override;  // Stop()

  // Names the output and the progress file and starts the runner and the
  // monitor. A name that stays taken fails the job without running anything.
  // The transcoder writes into a private folder beside the output (TempOutput);
  // the finished, judged file is moved to the first free name, which
  // OutputPath() then tells (the worker never writes it into the item; the
  // owner takes it from here when the job is done).
  void Start();

  // The output's base name: the item's, or its renamed form after a clash.
  std::string OutputName() const { return Text(outputName_); }
  // The percentage that later transcoder progress starts from, once the
  // preparation stage has told it (0 for an ordinary source).
  int ProgressBase() const { return progressBase_.load(); }

 protected:
  // 1 when the source is ready to be converted.
  virtual int PrepareSource();
  // The percentage that the preparation stands for.
  virtual int PrepareProgress();

  // Sleeps unless a stop comes first; false when stopped.
  bool SleepUnlessStopped(std::chrono::milliseconds time) { return signals_.Sleep(time); }
  // The same, also cut short once `done` holds (looked at again on WakeSleepers()).
  bool SleepUnless(std::chrono::milliseconds time, const std::function<bool()>& done) {
    return signals_.SleepUnless(time, done);
  }
  void WakeSleepers() { signals_.Wake(); }
  const std::atomic<bool>& StopFlag() const { return signals_.StopFlag(); }
  // The job's one child process slot: a preparation's helpers run in it
  // before the transcoder does, so that Stop() ends whichever runs.
  platform::Process& Child() { return process_; }
  // startFailed: the conversion could not even begin (WM_CONVERT_START_FAILED
  // instead of WM_CONVERT_FAILED). A failed job reports once, either way.
  void SetFailure(const std::string& reason, bool startFailed = false);

  VideoItem* const item_;
  NotifyTarget* const target_;
  const EngineDirs dirs_;

 private:
  void RunnerMain() override;
  void MonitorMain() override;
  void AfterStop() override;
  void BuildAndRun();
  // Puts the judged file under its name; false with the reason set.
  bool PutInPlace();
  void Finish(JobVerdict verdict);

  std::atomic<int> keptSeconds_{0};
  std::atomic<int> progressBase_{0};
  std::atomic<int> failureMessage_;
  std::string outputName_;
  std::string progressPath_;
  std::string stderrPath_;
  std::vector<std::string> names_;  // the base names the output may take, in order
};

}  // namespace engine
