// What a conversion job and the merge join have in common: a runner thread
// that runs the transcoder as a child process, a monitor thread that follows
// its progress file and reports, one stop that ends both at once, the
// private folder the output is written in, and the verdict and texts the
// owner reads afterwards.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "engine/run_signals.h"
#include "engine/temp_output.h"
#include "platform/event.h"
#include "platform/process.h"

namespace engine {

enum class JobVerdict : int { Pending = 0, Succeeded, Failed, Stopped };

class TranscoderJob {
 public:
  TranscoderJob() = default;
  // A derived job calls Stop() in its own destructor, so that no thread runs
  // its operations while it is being taken apart.
  virtual ~TranscoderJob();
  TranscoderJob(const TranscoderJob&) = delete;
  TranscoderJob& operator=(const TranscoderJob&) = delete;

  // Ends the transcoder at once, joins both threads and removes what was
  // written but not finished. Posts nothing. May come from two threads.
  void Stop();

  // Set when the runner has ended (also when it never started).
  const platform::Event& RunnerEnded() const { return signals_.RunnerEnded(); }
  // Set when the job posts nothing more: its monitor has ended, or it never
  // ran, or it was stopped.
  const platform::Event& ReportsEnded() const { return reportsEnded_; }
  // Known once the runner has ended.
  JobVerdict Verdict() const { return verdict_.load(); }
  // Why the job failed, with the end of the transcoder's error output.
  std::string FailureReason() const { return Text(reason_); }
  // The path the job means to write, once named; once it succeeded, the path
  // its file was put under.
  std::string OutputPath() const { return Text(outputPath_); }
  // The transcoder command as one line, once it was built.
  std::string CommandLine() const { return Text(commandLine_); }

 protected:
  // Starts the runner and the monitor.
  void StartThreads();
  virtual void RunnerMain() = 0;
  virtual void MonitorMain() = 0;
  // After a stop has joined both threads: the job's own helper files go.
  virtual void AfterStop() {}

  bool StopRequested() const { return signals_.StopRequested(); }
  std::string Text(const std::string& field) const;
  void SetText(std::string* field, const std::string& value);

  RunSignals signals_;
  platform::Event reportsEnded_;
  std::atomic<JobVerdict> verdict_{JobVerdict::Pending};
  std::atomic<bool> outputBegun_{false};
  platform::Process process_;
  TempOutput temp_;  // the runner's; Stop() discards it after the join
  // Guards the texts below, which the owner reads while the runner writes.
  mutable std::mutex textMutex_;
  std::string reason_;
  std::string outputPath_;
  std::string commandLine_;

 private:
  std::thread runner_;
  std::thread monitor_;
  std::mutex stopMutex_;
};

}  // namespace engine
