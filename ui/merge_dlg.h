// The merge dialog: shows how far the session's join of the merge list has
// come. It closes when the join ends; closing it in any other way (Stop, the
// close button, Escape) stops the join, so no join runs on without its
// dialog. Its owner shows it modal while the join runs and forwards the
// session's reports to it.
#pragma once

#include <QString>

#include "app/ui/base_window.h"

class QCloseEvent;

namespace engine {
class ListSession;
}

namespace ui {

class CMergeDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  CMergeDlg(QWidget* owner, engine::ListSession& session);

  QString LayoutFile() const override { return QStringLiteral("dlg_merge.xml"); }

  // The session's reports of its join.
  void ShowPercent(int percent);
  void JoinEnded(bool succeeded);

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  engine::ListSession& session_;
  bool joinEnded_ = false;
};

}  // namespace ui
