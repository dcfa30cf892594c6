// The program's message box: a skinned modal dialog with a caption, a text,
// the icon of its kind (error, question, information), a Yes and a No button
// and an optional button to the support page. Return presses the default
// button (Yes, or the button that has the focus), Escape the cancel one.
// Answers as the system message box would.
#pragma once

#include <QString>

#include <string>

#include "app/ui/base_window.h"

class QWidget;

namespace ui {

// Style bits of the system message box that the program uses.
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconInformation = 0x40;

// The kind of a box by its style: the information icon, else the error icon
// asked for decides; else a box with Yes and No (or the question icon) asks;
// else it informs.
enum class MessageKind { kError, kQuestion, kInformation };
MessageKind MessageKindOf(unsigned style);
// The caption of a kind in the current language.
QString MessageCaption(MessageKind kind);

class CMessageDlg : public app::MyBaseWindow {
  Q_OBJECT

 public:
  CMessageDlg(QWidget* owner, const QString& body, const QString& caption, unsigned style,
              bool showHtml, bool showSupport);

  QString LayoutFile() const override { return QStringLiteral("dlg_message.xml"); }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  bool ResponseDefaultKeyEvent(QKeyEvent* event) override;

 private:
  QString body_;
  QString caption_;
  unsigned style_;
  bool showHtml_;
  bool showSupport_;
};

// The caption of the box's kind and the text `key` of the section "Message"
// of the current language. Returns kIdYes, kIdNo, or 0 when the box cannot be made.
int MessageBoxByKey(const std::string& key, QWidget* owner, unsigned style);
int MessageBoxText(QWidget* owner, const QString& text, const QString& caption, unsigned style,
                   bool showHtml = false, bool showSupport = false);

// The short forms the program uses.
inline int MessageBoxError(const std::string& key, QWidget* owner) {
  return MessageBoxByKey(key, owner, kMbIconError);
}
inline int MessageBoxYesNo(const std::string& key, QWidget* owner) {
  return MessageBoxByKey(key, owner, kMbYesNo);
}
inline int MessageBoxInfo(const std::string& key, QWidget* owner) {
  return MessageBoxByKey(key, owner, kMbIconInformation);
}

}  // namespace ui
