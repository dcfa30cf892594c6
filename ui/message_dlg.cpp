#include "ui/message_dlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/core/language.h"
#include "app/ui/shell.h"

namespace ui {

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

  const char* icon = "infoLogo";
  if (!(style_ & kMbIconInformation)) {
    if (style_ & kMbIconError) {
      icon = "errorLogo";
    } else if (style_ & kMbIconQuestion) {
      icon = "warnLogo";
    }
  }
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
  if (yes) yes->setFocus();
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
  const std::string caption = app::LangText(app::langkey::kTitle, app::kSectionMessage);
  const std::string text = app::LangText(key, app::kSectionMessage);
  return MessageBoxText(owner, QString::fromStdString(text), QString::fromStdString(caption),
                        style);
}

int MessageBoxText(QWidget* owner, const QString& text, const QString& caption, unsigned style,
                   bool showHtml, bool showSupport) {
  CMessageDlg dialog(owner, text, caption, style, showHtml, showSupport);
  if (!dialog.Create()) return 0;
  return dialog.ShowModal();
}

}  // namespace ui
