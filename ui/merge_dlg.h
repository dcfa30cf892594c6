// The merge dialog: joins the converted parts of the merge list into one file
// and shows how far the join has come. It closes when the join ends; closing
// it in any other way (Stop, the close button, Escape) stops the join, so no
// join runs on without its dialog. Its owner shows it modal, then reads the
// outcome and destroys it.
#pragma once

#include <QString>

#include <memory>
#include <string>

#include "app/ui/base_window.h"
#include "engine/inbox.h"
#include "engine/merge_join.h"
#include "engine/work_dirs.h"

class QCloseEvent;

namespace ui {

class CMergeDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  CMergeDlg(QWidget* owner, const engine::MergeRequest& request, const engine::EngineDirs& dirs);
  ~CMergeDlg() override;

  QString LayoutFile() const override { return QStringLiteral("dlg_merge.xml"); }

  // The joined file was written; OutputPath() names it.
  bool Succeeded() const { return succeeded_; }
  // The user ended the join before it finished; nothing was left behind.
  bool Stopped() const { return stopped_; }
  // The joined file; empty unless the merge succeeded.
  std::string OutputPath() const { return outputPath_; }
  // Why the join failed; empty unless it failed.
  std::string FailureReason() const { return failureReason_; }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnEngineMessage(const engine::InboxMessage& message);
  void ShowPercent(int percent);
  // Ends the join once and takes its outcome; a join that had not finished
  // by now counts as stopped.
  void EndJoin();

  const engine::MergeRequest request_;
  const engine::EngineDirs dirs_;
  // Declared before the join: the join posts into it until it is stopped.
  engine::Inbox inbox_;
  std::unique_ptr<engine::MergeJoin> join_;
  bool ended_ = false;
  bool failed_ = false;  // the join reported its failure
  bool succeeded_ = false;
  bool stopped_ = false;
  std::string outputPath_;
  std::string failureReason_;
};

}  // namespace ui
