// Joining the converted parts of the merge list into one file.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/command.h"
#include "engine/output_check.h"
#include "engine/run_signals.h"
#include "engine/work_dirs.h"
#include "platform/process.h"

namespace engine {

struct NotifyTarget;

struct MergeRequest {
  std::vector<std::string> parts;  // every part's output path, in list order
  std::string outputExtension;
  std::string outputFolder;        // ends with '/'
  int totalSeconds = 0;            // sum of the parts' kept lengths
  std::string mergeName = "Merged";  // the localized merge file name
};

// The concat list: one "file '<path>'" line per part, an apostrophe written
// as '\'' so that no path can break the line or add directives. A part whose
// picture length is known gets it as its duration, so that the next part's
// picture follows it exactly, however much longer its sound runs.
std::string ConcatListText(const std::vector<std::string>& parts,
                           const std::vector<double>& pictureSeconds = {});

enum class JoinMode { Copy, CopyVideoEncodeAudio, Encode };

// How the parts join: by stream copy when they share one format (with the
// sound encoded again where the container needs it), else by encoding with
// the parts' own video codec and bit rate.
struct JoinPlan {
  JoinMode mode = JoinMode::Encode;
  std::string videoEncoder;   // for Encode
  long long videoBitRate = 0;  // for Encode, bit/s
};
JoinPlan PlanJoin(const std::vector<PartFormat>& parts, const std::string& extension);

Command BuildJoinCommand(const std::string& progressPath, const std::string& listPath,
                         const std::string& outputPath, const JoinPlan& plan);

class MergeJoin {
 public:
  MergeJoin(const MergeRequest& request, NotifyTarget* target, const EngineDirs& dirs);
  ~MergeJoin();  // Stop()
  MergeJoin(const MergeJoin&) = delete;
  MergeJoin& operator=(const MergeJoin&) = delete;

  // Starts the runner and the monitor; the monitor posts WM_MERGE_PROGRESS,
  // then WM_MERGE_DONE or WM_MERGE_FAILED. The concat list, the progress file
  // and the error output go when the join ends, however it ends.
  void Start();
  // Ends the join at once; a half-written output is removed. Posts nothing.
  void Stop();

  bool Succeeded() const { return succeeded_.load(); }
  std::string OutputPath() const;
  std::string FailureReason() const;
  std::string CommandLine() const;
  const std::string& ProgressPath() const { return progressPath_; }

 private:
  void RunnerMain();
  void MonitorMain();
  void SetText(std::string* field, const std::string& value);

  const MergeRequest request_;
  NotifyTarget* const target_;
  const EngineDirs dirs_;
  const std::string progressPath_;
  RunSignals signals_;
  std::atomic<bool> succeeded_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> outputBegun_{false};
  platform::Process process_;
  std::thread runner_, monitor_;
  std::mutex stopMutex_;
  mutable std::mutex textMutex_;
  std::string outputPath_, reason_, commandLine_;
};

}  // namespace engine
