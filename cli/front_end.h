// The command-line front end: the window's part for the engine, on a terminal.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress_view.h"
#include "engine/convert_queue.h"
#include "engine/messages.h"
#include "engine/work_dirs.h"

namespace engine {
class MergeJoin;
}

namespace cli {

class FrontEnd : public engine::NotifyTarget {
 public:
  FrontEnd(const CliOptions& options, FILE* out, FILE* err);
  ~FrontEnd() override;

  // Does everything the options ask; returns the exit code (0 all done,
  // 1 something failed or was interrupted).
  int Run();

  // Asks Run() to stop cleanly; safe from a signal handler.
  static void Interrupt();

  void post(int msg, void* wParam, intptr_t lParam) override;
  void send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) override;

 private:
  struct Posted {
    int msg;
    void* wParam;
    intptr_t lParam;
    long long sendId;  // 0 for a posted message
  };

  int Probe();
  bool SetUp();
  bool Analyse();
  bool ApplyChoices();
  int PrintCommands();
  int Convert();
  int Join();
  // Handles what arrived within the wait; false once interrupted.
  bool Pump(int waitMs);
  void Handle(const Posted& m);
  void Fail(engine::VideoItem* item, const std::string& why);
  void TearDown();
  std::string Label(const engine::VideoItem& item) const;

  const CliOptions options_;
  FILE* out_;
  FILE* err_;
  ProgressView view_;
  engine::EngineDirs dirs_;
  std::string outDir_;
  std::vector<engine::ItemPtr> items_;
  std::unique_ptr<engine::ConvertQueue> queue_;
  std::unique_ptr<engine::MergeJoin> join_;
  bool anyFailed_ = false;
  bool mergeFailed_ = false;
  int joinResult_ = 0;  // the merge message that ended the join

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Posted> inbox_;
  long long nextSendId_ = 1;
  long long handledSendId_ = 0;
};

}  // namespace cli
