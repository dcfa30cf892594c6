#include "ui/power_off_dlg.h"

#include <QLabel>
#include <QProgressBar>

#include "app/core/language.h"
#include "app/core/message_text.h"

namespace ui {

CPowerOffDlg::CPowerOffDlg(QWidget* owner, int seconds)
    : MyBaseWindow(owner, Kind::kDialog), seconds_(seconds > 0 ? seconds : 1), left_(seconds_) {
  // Every way out but the countdown and "Power off now" keeps the computer on.
  SetResult(app::kIdNo);
  setWindowTitle(QString::fromStdString(app::LangText(app::langkey::kTitle, app::kSectionMessage)));
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void CPowerOffDlg::OnLayoutReady(const app::Notification&) {
  if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progressPowerOff")))
    bar->setRange(0, seconds_);
  ShowLeft();
  timer_.start();
}

void CPowerOffDlg::Tick() {
  if (--left_ > 0) return ShowLeft();
  timer_.stop();
  Close(app::kIdOk);
}

void CPowerOffDlg::ShowLeft() {
  if (auto* bar = FindControl<QProgressBar>(QStringLiteral("progressPowerOff")))
    bar->setValue(seconds_ - left_);
  if (auto* label = FindControl<QLabel>(QStringLiteral("PowerOffText")))
    label->setText(QString::fromStdString(app::FillTextPlaceholder(
        app::LangText(app::langkey::kPowerOffSoon, app::kSectionMessage), std::to_string(left_))));
}

void CPowerOffDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnPowerOffNow")) {
    timer_.stop();
    Close(app::kIdOk);
  } else if (n.sender == QLatin1String("btnCancel") || n.sender == QLatin1String("btnClose")) {
    timer_.stop();
    Close(app::kIdNo);
  }
}

}  // namespace ui
