// One conversion job: runs the transcoder for one item on a runner thread and
// follows its progress file on a monitor thread, reporting to the owner.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_signals.h"
#include "engine/temp_output.h"
#include "engine/work_dirs.h"
#include "platform/process.h"

namespace engine {

struct NotifyTarget;
struct VideoItem;

struct CommandInputs;

// What a job's command takes from outside the item: its progress file, the
// output it chose, the install setting for the muxing queue, and for a
// picture output the one-shot overrides, which are used up.
CommandInputs JobCommandInputs(const VideoItem& item, const std::string& progressPath,
                               const std::string& outputPath);

enum class JobVerdict : int { Pending = 0, Succeeded, Failed, Stopped };

class CUtilTransform {
 public:
  CUtilTransform(VideoItem* item, NotifyTarget* target, const EngineDirs& dirs);
  // Stops the job. A derived job calls Stop() in its own destructor, so that
  // no thread runs its operations while it is being taken apart.
  virtual ~CUtilTransform();
  CUtilTransform(const CUtilTransform&) = delete;
  CUtilTransform& operator=(const CUtilTransform&) = delete;

  // Names the output and the progress file and starts the runner and the
  // monitor. A name that stays taken fails the job without running anything.
  // The transcoder writes into a private folder beside the output (TempOutput);
  // the finished, judged file is moved to the first free name.
  void Start();
  // Ends the transcoder at once, joins both threads, removes the progress file
  // and what this job wrote but did not finish. Posts nothing.
  void Stop();

  // Set when the runner has ended (also when it never started).
  const platform::Event& RunnerEnded() const { return signals_.RunnerEnded(); }
  // Set when the job posts nothing more: its monitor has ended, or it never
  // ran, or it was stopped.
  const platform::Event& ReportsEnded() const { return reportsEnded_; }
  // Known once the runner has ended.
  JobVerdict Verdict() const { return verdict_.load(); }
  // Why the job failed, with the end of the transcoder's error output.
  std::string FailureReason() const;
  // The path this job means to write, once named; once it succeeded, the path
  // its file was put under (the worker never writes it into the item; the
  // owner takes it from here when the job is done).
  std::string OutputPath() const;
  // The output's base name: the item's, or its renamed form after a clash.
  std::string OutputName() const;
  // The transcoder command as one line, once it was built.
  std::string CommandLine() const;
  // The percentage that later transcoder progress starts from, once the
  // preparation stage has told it (0 for an ordinary source).
  int ProgressBase() const { return progressBase_.load(); }

 protected:
  // 1 when the source is ready to be converted.
  virtual int PrepareSource();
  // The percentage that the preparation stands for.
  virtual int PrepareProgress();

  bool StopRequested() const { return signals_.StopRequested(); }
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
  void RunnerMain();
  void MonitorMain();
  void BuildAndRun();
  // Puts the judged file under its name; false with the reason set.
  bool PutInPlace();
  void Finish(JobVerdict verdict);

  RunSignals signals_;
  platform::Event reportsEnded_;
  std::atomic<JobVerdict> verdict_{JobVerdict::Pending};
  std::atomic<bool> outputBegun_{false};
  std::atomic<int> keptSeconds_{0};
  std::atomic<int> progressBase_{0};
  std::atomic<int> failureMessage_;
  platform::Process process_;
  std::thread runner_;
  std::thread monitor_;
  std::mutex stopMutex_;  // Stop() may come from two threads
  mutable std::mutex textMutex_;
  std::string reason_;
  std::string commandLine_;
  std::string outputPath_;
  std::string outputName_;
  std::string progressPath_;
  std::string stderrPath_;
  std::vector<std::string> names_;  // the base names the output may take, in order
  TempOutput temp_;                 // the runner's; Stop() discards it after the join
};

}  // namespace engine
