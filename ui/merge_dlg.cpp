#include "ui/merge_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

#include "app/core/language.h"
#include "engine/list_session.h"

namespace ui {

CMergeDlg::CMergeDlg(QWidget* owner, engine::ListSession& session)
    : MyBaseWindow(owner, Kind::kDialog), session_(session) {
  SetResult(app::kIdNo);
  setWindowTitle(QString::fromStdString(app::LangText(app::langkey::kTitle, app::kSectionMessage)));
}

void CMergeDlg::OnLayoutReady(const app::Notification&) { ShowPercent(0); }

void CMergeDlg::ShowPercent(int percent) {
  if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progressMerge"))) bar->setValue(percent);
  if (auto* label = FindControl<QLabel>(QStringLiteral("labMergePercent")))
    label->setText(QStringLiteral("%1%").arg(percent));
}

void CMergeDlg::JoinEnded(bool succeeded) {
  if (joinEnded_) return;  // the close that stopped it is under way
  joinEnded_ = true;
  if (succeeded) ShowPercent(100);
  Close(succeeded ? app::kIdOk : app::kIdNo);
}

void CMergeDlg::closeEvent(QCloseEvent* event) {
  if (!joinEnded_) {
    joinEnded_ = true;
    session_.StopMerge();
  }
  MyBaseWindow::closeEvent(event);
}

void CMergeDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnStop") || n.sender == QLatin1String("btnClose")) Close(app::kIdNo);
}

}  // namespace ui
