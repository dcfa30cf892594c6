// The message box: its icon and buttons by style, its answers, the support
// button, texts by key.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "app/core/app_paths.h"
#include "app/core/lang_file.h"
#include "app/core/language.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "platform/files.h"
#include "tests/app_ui/ui_fixture.h"
#include "ui/message_dlg.h"

namespace {

using ui::CMessageDlg;
using uitest::OnModal;
using uitest::UiTest;

struct StyleCase {
  unsigned style;
  const char* icon;
  bool both;
};

TEST_F(UiTest, MessageBoxIconAndButtonsFollowTheStyle) {
  const StyleCase cases[] = {
      {0x10, "errorLogo", false}, {0x04, "questionLogo", true},  {0x44, "infoLogo", true},
      {0x20, "questionLogo", false},  {0x24, "questionLogo", true},  {0x40, "infoLogo", false},
      {0x00, "infoLogo", false},  {0x50, "infoLogo", false},  // information wins over error
      {0x30, "errorLogo", false},
  };
  // Where the No button stands when there are two.
  CMessageDlg pair(nullptr, "Remove the file?", "Caption", ui::kMbYesNo, false, false);
  ASSERT_TRUE(pair.Create());
  pair.show();
  const QRect noPlace = pair.FindControl("btnClose")->geometry();

  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.style);
    CMessageDlg box(nullptr, "Remove the file?", "Caption", c.style, false, false);
    ASSERT_TRUE(box.Create());
    box.show();
    for (const char* icon : {"errorLogo", "warnLogo", "questionLogo", "infoLogo"})
      EXPECT_EQ(box.FindControl(icon)->isVisible(), std::string(icon) == c.icon) << icon;
    QWidget* yes = box.FindControl("btnYes");
    QWidget* no = box.FindControl("btnClose");
    EXPECT_TRUE(yes->isVisible());
    EXPECT_EQ(no->isVisible(), c.both);
    if (!c.both) {
      EXPECT_EQ(yes->geometry().right(), noPlace.right());
    }
    EXPECT_FALSE(box.FindControl("optNoShowAgain")->isVisible());
    EXPECT_FALSE(box.FindControl("btnKefu")->isVisible());
    EXPECT_EQ(box.FindControl<QLabel>("caption")->text(), "Caption");
    EXPECT_EQ(box.FindControl<QLabel>("context")->text(), "Remove the file?");
  }
}

TEST_F(UiTest, MessageBoxAnswersYesNoOrNoWhenClosed) {
  struct Case {
    unsigned style;
    std::function<void(QWidget*)> act;
    int answer;
  };
  auto click = [](const char* name) {
    return [name](QWidget* box) { app::FindControl<QAbstractButton>(box, name)->click(); };
  };
  const Case cases[] = {
      {ui::kMbIconError, click("btnYes"), app::kIdYes},  // the single button agrees
      {ui::kMbYesNo, click("btnYes"), app::kIdYes},
      {ui::kMbYesNo, click("btnClose"), app::kIdNo},
      {ui::kMbYesNo, [](QWidget* box) { box->close(); }, app::kIdNo},
      {ui::kMbYesNo | ui::kMbIconInformation,
       [](QWidget* box) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(box, &escape);
       },
       app::kIdNo},
  };
  for (const Case& c : cases) {
    OnModal(c.act);
    EXPECT_EQ(ui::MessageBoxText(nullptr, "Stop converting this file?", "Pelmar", c.style),
              c.answer)
        << c.style;
  }
}

// Keys as a person presses them on the box in view: Return presses the
// default button, or the button Tab moved to; Escape the cancel button, and
// closes a box that has only one.
TEST_F(UiTest, MessageBoxKeysPressItsButtons) {
  struct Case {
    unsigned style;
    std::vector<Qt::Key> keys;
    int answer;
  };
  const Case cases[] = {
      {ui::kMbYesNo, {Qt::Key_Return}, app::kIdYes},
      {ui::kMbYesNo | ui::kMbIconQuestion, {Qt::Key_Enter}, app::kIdYes},
      {ui::kMbYesNo, {Qt::Key_Escape}, app::kIdNo},
      {ui::kMbYesNo, {Qt::Key_Tab, Qt::Key_Return}, app::kIdNo},
      {ui::kMbIconError, {Qt::Key_Return}, app::kIdYes},
      {ui::kMbIconInformation, {Qt::Key_Escape}, app::kIdNo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.style << " " << c.keys.size() << " keys");
    bool yesIsDefault = false;
    OnModal([&](QWidget* box) {
      box->activateWindow();
      yesIsDefault = app::FindControl<QPushButton>(box, "btnYes")->isDefault();
      for (Qt::Key key : c.keys) {
        QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : box;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(to, &press);
        QCoreApplication::sendEvent(to, &release);
      }
    });
    EXPECT_EQ(ui::MessageBoxText(nullptr, "Remove \"a\" from the list?", "Caption", c.style),
              c.answer);
    EXPECT_TRUE(yesIsDefault);
  }
}

TEST_F(UiTest, SupportButtonOpensTheSupportPageAndTheBoxStays) {
  bool stillOpen = false;
  OnModal([&](QWidget* box) {
    auto* support = app::FindControl<QAbstractButton>(box, "btnKefu");
    ASSERT_TRUE(support->isVisible());
    support->click();
    stillOpen = box->isVisible();
    app::FindControl<QAbstractButton>(box, "btnYes")->click();
  });
  EXPECT_EQ(ui::MessageBoxText(nullptr, "Cannot convert \"a.mp4\".", "Error", ui::kMbIconError,
                               false, true),
            app::kIdYes);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(opened_, QStringList({app::SupportAddress()}));
  EXPECT_FALSE(app::SupportAddress().isEmpty());
}

TEST_F(UiTest, MessageTextIsPlainUnlessHtmlIsAsked) {
  for (bool html : {false, true}) {
    CMessageDlg box(nullptr, "<b>a.mp4</b>", "Caption", 0, html, false);
    ASSERT_TRUE(box.Create());
    EXPECT_EQ(box.FindControl<QLabel>("context")->textFormat(),
              html ? Qt::RichText : Qt::PlainText);
  }
}

TEST_F(UiTest, MessageByKeyTakesCaptionAndTextOfTheLanguage) {
  // A language file of this test's own, in an install folder of its own.
  const std::string install = sandbox().installDir();
  ASSERT_TRUE(platform::CreateFolders(install + "/language"));
  const std::string longText(300, 'x');
  std::string error;
  ASSERT_TRUE(app::WriteLangFile(install + "/language/en.dat",
                                 {{"Message",
                                   {{"Title", "Program"},
                                    {"Error", "Failure"},
                                    {"Question", "Asking"},
                                    {"Information", "Telling"},
                                    {"Long", longText}}}},
                                 &error))
      << error;
  app::AppPaths paths = app::Paths();
  paths.installDir = install;
  app::SetPaths(paths);

  QString caption, text;
  auto read = [&](QWidget* box) {
    caption = app::FindControl<QLabel>(box, "caption")->text();
    text = app::FindControl<QLabel>(box, "context")->text();
    box->close();
  };
  OnModal(read);
  EXPECT_EQ(ui::MessageBoxInfo("Long", nullptr), app::kIdNo);
  EXPECT_EQ(caption, "Telling");
  EXPECT_EQ(text, QString(259, 'x'));
  // Each kind of box has the caption of its kind.
  OnModal(read);
  ui::MessageBoxError("Long", nullptr);
  EXPECT_EQ(caption, "Failure");
  OnModal(read);
  ui::MessageBoxYesNo("Long", nullptr);
  EXPECT_EQ(caption, "Asking");

  // A key the language lacks gives an empty text; the box still answers.
  OnModal([](QWidget* box) { app::FindControl<QAbstractButton>(box, "btnYes")->click(); });
  EXPECT_EQ(ui::MessageBoxYesNo("NoSuchKey", nullptr), app::kIdYes);
}

TEST_F(UiTest, MessageBoxWithoutItsLayoutAnswersZero) {
  app::ReleaseSkinArchive();
  EXPECT_EQ(ui::MessageBoxText(nullptr, "text", "caption", ui::kMbYesNo), 0);
}

}  // namespace
