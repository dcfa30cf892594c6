// The message box: its icon and buttons by style, its answers, the support
// button, texts by key.
#include <QAbstractButton>
#include <QCoreApplication>
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
      {0x10, "errorLogo", false}, {0x04, "infoLogo", true},  {0x44, "infoLogo", true},
      {0x20, "warnLogo", false},  {0x24, "warnLogo", true},  {0x40, "infoLogo", false},
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
    for (const char* icon : {"errorLogo", "warnLogo", "infoLogo"})
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
                                 {{"Message", {{"Title", "Test caption"}, {"Long", longText}}}},
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
  EXPECT_EQ(caption, "Test caption");
  EXPECT_EQ(text, QString(259, 'x'));

  // A key the language lacks gives an empty text; the box still answers.
  OnModal([](QWidget* box) { app::FindControl<QAbstractButton>(box, "btnYes")->click(); });
  EXPECT_EQ(ui::MessageBoxYesNo("NoSuchKey", nullptr), app::kIdYes);
}

TEST_F(UiTest, MessageBoxWithoutItsLayoutAnswersZero) {
  app::ReleaseSkinArchive();
  EXPECT_EQ(ui::MessageBoxText(nullptr, "text", "caption", ui::kMbYesNo), 0);
}

}  // namespace
