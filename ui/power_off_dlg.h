// The power-off countdown: says that the computer will power off, counts
// the seconds down and runs the power-off when they are over. Cancel, the
// close button and Escape keep the computer on; "Power off now" skips the
// wait.
#pragma once

#include <QString>
#include <QTimer>

#include "app/ui/base_window.h"

namespace ui {

class CPowerOffDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  CPowerOffDlg(QWidget* owner, int seconds);

  QString LayoutFile() const override { return QStringLiteral("dlg_power_off.xml"); }

  // After ShowModal: the countdown ran out or the user chose to power off now.
  bool confirmed() const { return result() == app::kIdOk; }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;

 private:
  void Tick();
  void ShowLeft();

  const int seconds_;
  int left_;
  QTimer timer_;
};

}  // namespace ui
