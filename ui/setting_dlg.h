// The settings dialog: a video bit rate and a frame rate for the next video
// conversion only (kept in memory, taken by the next command), and the
// standby server switch of the online services. Its owner shows it modal and
// destroys it; ShowModal answers kIdYes when the values were stored.
#pragma once

#include <QString>

#include <cstdint>

#include "app/ui/base_window.h"

namespace ui {

class CSettingDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  explicit CSettingDlg(QWidget* owner);

  QString LayoutFile() const override { return QStringLiteral("dlg_setting.xml"); }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  bool ResponseDefaultKeyEvent(QKeyEvent* event) override;

 private:
  void SelectPage(int index);
  void RestoreDefaults();
  // Stores what the boxes hold and closes; a value over its limit shows why
  // and keeps the dialog open.
  void Store();
};

// How the boxes are read: the leading number of the text, as the user may
// type "2500 kbps". No digits read as 0; a whole number too large for 64 bits
// reads as the largest one, so it is refused like any other too large value.
int64_t ReadWholeNumber(const QString& text);
// A decimal number with a point or a comma; no number reads as 0. Not a
// number ("nan") reads as 0; an infinite one stays infinite.
double ReadDecimalNumber(const QString& text);

}  // namespace ui
