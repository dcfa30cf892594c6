// The command-line front end: the window's part for the engine, on a terminal.
// The list rules are the session's; this file only asks and prints.
#pragma once

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress_view.h"
#include "engine/list_session.h"

namespace cli {

class FrontEnd : public engine::SessionListener {
 public:
  FrontEnd(const CliOptions& options, FILE* out, FILE* err);
  ~FrontEnd() override;

  // Does everything the options ask; returns the exit code (0 all done,
  // 1 something failed or was interrupted, 2 a mistake in the command line).
  int Run();

  // Asks Run() to stop cleanly; safe from a signal handler.
  static void Interrupt();

  // What the session reports.
  void OnItemStarted(engine::VideoItem& item) override;
  void OnProgress(engine::VideoItem& item, int percent) override;
  void OnItemDone(engine::VideoItem& item) override;
  void OnItemFailed(engine::VideoItem& item, bool startFailed) override;
  void OnMergeStarted(const engine::MergeRequest& request) override;
  void OnMergeProgress(int percent) override;
  void OnMergeEnded(const engine::MergeOutcome& outcome) override;
  void OnMergePartFailed() override;
  void OnChoiceReset(engine::ConvertKind list, const std::string& why) override;

 private:
  int Probe();
  bool SetUp();
  bool AddFiles();
  bool Analyse();
  // The options on each file: 0, else the exit code that ends the run.
  int ApplyChoices();
  int PrintCommands();
  int Convert();
  int Join();
  // Handles what arrived within the wait; false once interrupted.
  bool Pump(int waitMs);
  void Fail(const std::string& path, const std::string& why);
  void TearDown();
  const std::vector<engine::ItemPtr>& Items() const;

  const CliOptions options_;
  FILE* out_;
  FILE* err_;
  ProgressView view_;
  engine::EngineDirs dirs_;
  std::string outDir_;
  std::unique_ptr<engine::ListSession> session_;
  bool anyFailed_ = false;
  std::set<const engine::VideoItem*> failedTold_;  // failures already printed
  bool mergeFailed_ = false;  // a part failed: no join comes
  bool mergeEnded_ = false;
  engine::MergeOutcome mergeOutcome_;
};

}  // namespace cli
