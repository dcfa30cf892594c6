#include "ui/message_dlg.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/core/language.h"
#include "app/ui/shell.h"

namespace ui {

MessageKind MessageKindOf(unsigned style) {
  if (style & kMbIconInformation) return MessageKind::kInformation;
  if (style & kMbIconError) return MessageKind::kError;
  if (style & (kMbYesNo | kMbIconQuestion)) return MessageKind::kQuestion;
  return MessageKind::kInformation;
}

QString MessageCaption(MessageKind kind) {
  const char* key = kind == MessageKind::kError      ? app::langkey::kError
                    : kind == MessageKind::kQuestion ? app::langkey::kQuestion
                                                     : app::langkey::kInformation;
  return QString::fromStdString(app::LangText(key, app::kSectionMessage));
}

CMessageDlg::CMessageDlg(QWidget* owner, const QString& body, const QString& caption,
                         unsigned style, bool showHtml, bool showSupport)
    : MyBaseWindow(owner, Kind::kDialog),
      body_(body),
      caption_(caption),
      style_(style),
      showHtml_(showHtml),
      showSupport_(showSupport) {
  SetResult(app::kIdNo);
  setWindowTitle(caption);
}

void CMessageDlg::OnLayoutReady(const app::Notification&) {
  if (auto* caption = FindControl<QLabel>(QStringLiteral("caption"))) caption->setText(caption_);
  if (auto* context = FindControl<QLabel>(QStringLiteral("context"))) {
    context->setTextFormat(showHtml_ ? Qt::RichText : Qt::PlainText);
    context->setText(body_);
  }

  const MessageKind kind = MessageKindOf(style_);
  const char* icon = kind == MessageKind::kError      ? "errorLogo"
                     : kind == MessageKind::kQuestion ? "questionLogo"
                                                      : "infoLogo";
  if (QWidget* logo = FindControl(QString::fromLatin1(icon))) logo->show();

  // One button only: the Yes button takes the place of the No button.
  QWidget* yes = FindControl(QStringLiteral("btnYes"));
  QWidget* no = FindControl(QStringLiteral("btnClose"));
  if (yes && no && !(style_ & kMbYesNo)) {
    no->hide();
    auto* row =
        no->parentWidget() ? qobject_cast<QBoxLayout*>(no->parentWidget()->layout()) : nullptr;
    if (row) {
      if (QLayout* from = yes->parentWidget() ? yes->parentWidget()->layout() : nullptr)
        from->removeWidget(yes);
      if (yes->parentWidget() != no->parentWidget()) yes->setParent(no->parentWidget());
      row->insertWidget(row->indexOf(no) + 1, yes);
      yes->show();
    }
  }

  if (QWidget* never = FindControl(QStringLiteral("optNoShowAgain"))) never->hide();
  if (QWidget* support = FindControl(QStringLiteral("btnKefu"))) support->setVisible(showSupport_);
  if (auto* button = qobject_cast<QPushButton*>(yes)) button->setDefault(true);
  if (yes) yes->setFocus();
}

bool CMessageDlg::ResponseDefaultKeyEvent(QKeyEvent* event) {
  if (event->modifiers() & ~Qt::KeypadModifier) return false;
  auto shown = [this](const char* name) {
    auto* b = FindControl<QPushButton>(QString::fromLatin1(name));
    return b && b->isVisibleTo(this) && b->isEnabled() ? b : nullptr;
  };
  QPushButton* press = nullptr;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // A button reached with Tab is the one Return presses.
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    press = focused && focused->isVisibleTo(this) ? focused : shown("btnYes");
  } else if (event->key() == Qt::Key_Escape) {
    press = shown("btnClose");
    if (!press) return MyBaseWindow::ResponseDefaultKeyEvent(event);
  }
  if (!press) return false;
  press->click();
  return true;
}

void CMessageDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnYes")) {
    Close(app::kIdYes);
  } else if (n.sender == QLatin1String("btnClose")) {
    Close(app::kIdNo);
  } else if (n.sender == QLatin1String("btnKefu")) {
    app::OpenSupportPage();
  }
}

int MessageBoxByKey(const std::string& key, QWidget* owner, unsigned style) {
  const std::string text = app::LangText(key, app::kSectionMessage);
  return MessageBoxText(owner, QString::fromStdString(text),
                        MessageCaption(MessageKindOf(style)), style);
}

int MessageBoxText(QWidget* owner, const QString& text, const QString& caption, unsigned style,
                   bool showHtml, bool showSupport) {
  CMessageDlg dialog(owner, text, caption, style, showHtml, showSupport);
  if (!dialog.Create()) return 0;
  return dialog.ShowModal();
}

}  // namespace ui
