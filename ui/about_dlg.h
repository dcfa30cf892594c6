// The about box: the program's name and version, and the partner's company
// and site when oem.ini names them. Deletes itself once closed.
#pragma once

#include "app/ui/base_window.h"

namespace ui {

class CAboutDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* owner);

  QString LayoutFile() const override { return QStringLiteral("dlg_about.xml"); }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  void OnFinalMessage() override;
};

}  // namespace ui
