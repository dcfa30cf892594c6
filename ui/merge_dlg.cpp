#include "ui/merge_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>

#include "app/core/language.h"
#include "app/core/run_log.h"
#include "engine/messages.h"
#include "platform/files.h"

namespace ui {

CMergeDlg::CMergeDlg(QWidget* owner, const engine::MergeRequest& request,
                     const engine::EngineDirs& dirs)
    : MyBaseWindow(owner, Kind::kDialog),
      request_(request),
      dirs_(dirs),
      // Runs on the join's threads: only schedules the drain on ours. The
      // threads are joined before this object goes away, and a drain queued
      // after that is dropped with the object's pending events.
      inbox_([this] {
        QMetaObject::invokeMethod(
            this,
            [this] { inbox_.Drain([this](const engine::InboxMessage& m) { OnEngineMessage(m); }); },
            Qt::QueuedConnection);
      }) {
  SetResult(app::kIdNo);
  setWindowTitle(QString::fromStdString(app::LangText(app::langkey::kTitle, app::kSectionMessage)));
}

CMergeDlg::~CMergeDlg() {
  inbox_.Close();
  EndJoin();
}

void CMergeDlg::OnLayoutReady(const app::Notification&) {
  ShowPercent(0);
  join_ = std::make_unique<engine::MergeJoin>(request_, &inbox_, dirs_);
  join_->Start();
}

void CMergeDlg::ShowPercent(int percent) {
  if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progressMerge"))) bar->setValue(percent);
  if (auto* label = FindControl<QLabel>(QStringLiteral("labMergePercent")))
    label->setText(QStringLiteral("%1%").arg(percent));
}

void CMergeDlg::OnEngineMessage(const engine::InboxMessage& message) {
  if (ended_) return;
  switch (message.msg) {
    case engine::WM_MERGE_PROGRESS:
      ShowPercent(static_cast<int>(reinterpret_cast<intptr_t>(message.wParam)));
      break;
    case engine::WM_MERGE_DONE:
      ShowPercent(100);
      Close(app::kIdOk);
      break;
    case engine::WM_MERGE_FAILED:
      failed_ = true;
      Close(app::kIdNo);
      break;
    default:
      break;
  }
}

void CMergeDlg::EndJoin() {
  if (ended_) return;
  ended_ = true;
  inbox_.Close();
  if (!join_) return;
  join_->Stop();
  // The outcome is the join's own, whichever way the dialog closed: a join
  // that finished just before a stop keeps its file.
  if (join_->Succeeded()) {
    succeeded_ = true;
    outputPath_ = join_->OutputPath();
    app::RunLog("merge done: %s", outputPath_.c_str());
  } else if (failed_ || !join_->FailureReason().empty()) {
    failureReason_ = join_->FailureReason();
    if (failureReason_.empty()) failureReason_ = "the join ended without a result";
  } else {
    stopped_ = true;
    app::RunLog("merge stopped");
  }
}

void CMergeDlg::closeEvent(QCloseEvent* event) {
  EndJoin();
  MyBaseWindow::closeEvent(event);
}

void CMergeDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnStop") || n.sender == QLatin1String("btnClose")) Close(app::kIdNo);
}

}  // namespace ui
