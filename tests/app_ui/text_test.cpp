// The texts the layouts carry and the skin's part of a language switch.
#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>

#include <memory>
#include <set>

#include "app/core/lang_file.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/layout.h"
#include "app/ui/skin.h"
#include "app/ui/skin_text.h"
#include "platform/files.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using app::ControlText;
using app::TextKind;
using uitest::UiTest;

constexpr int kGerman = 1141;

TEST_F(UiTest, SwitchReportsTheTextsOfTheNewLanguage) {
  std::vector<ControlText> texts;
  ASSERT_TRUE(app::SwitchSkinLanguage(kGerman, uitest::BinDir(),
                                      [&](const ControlText& t) { texts.push_back(t); }));
  EXPECT_EQ(app::Oem().skinFile, "skin_de.skin");
  EXPECT_TRUE(app::CurrentSkinArchive().endsWith("skin_de.skin"));

  // Every reported text is the German file's text of its key.
  const std::string german = app::LanguageFilePath(kGerman, uitest::BinDir());
  std::set<std::string> names;
  std::set<TextKind> kinds;
  for (const ControlText& t : texts) {
    SCOPED_TRACE(t.name.toStdString());
    const int dot = t.key.indexOf('.');
    ASSERT_GT(dot, 0);
    std::string value;
    ASSERT_TRUE(app::ReadLangValue(t.key.left(dot).toStdString(), t.key.mid(dot + 1).toStdString(),
                                   "", &value, 1024, german));
    EXPECT_EQ(t.value.toStdString(), value);
    if (t.kind == TextKind::kText) names.insert(t.name.toStdString());
    kinds.insert(t.kind);
  }
  // From each of the four reloaded layouts: window, bottom bar, row, menu.
  for (const char* name : {"optConverAudio", "btn_transform", "LabTextVideoInfo1", "menuSetting"})
    EXPECT_TRUE(names.count(name)) << name;
  EXPECT_TRUE(kinds.count(TextKind::kText));
  EXPECT_TRUE(kinds.count(TextKind::kToolTip));
  // Texts the program sets itself are not reported (their tooltips may be).
  for (const char* name :
       {"edit_output_path", "btn_menu_format", "video_old_name", "codec_type_new"})
    EXPECT_FALSE(names.count(name)) << name;
}

TEST_F(UiTest, SwitchChangesTheTextsOfAWindow) {
  std::unique_ptr<QWidget> window(app::LoadLayout("skin.xml"));
  ASSERT_NE(window, nullptr);
  auto* merge = app::FindControl<QAbstractButton>(window.get(), "optConverMerge");
  auto* folder = app::FindControl<QAbstractButton>(window.get(), "btn_select_folder");
  auto* path = app::FindControl<QLineEdit>(window.get(), "edit_output_path");
  auto* close = app::FindControl<QAbstractButton>(window.get(), "btnClose");
  EXPECT_EQ(merge->text(), "Merge");
  EXPECT_EQ(close->toolTip(), "Close");
  path->setText("/home/me/Videos/");

  ASSERT_TRUE(app::SwitchSkinLanguage(kGerman, uitest::BinDir(), [&](const ControlText& t) {
    app::ApplyControlText(window.get(), t);
  }));
  EXPECT_EQ(merge->text(), "Verbinden");
  EXPECT_EQ(folder->text(), "Ändern…");
  EXPECT_EQ(close->toolTip(), "Schließen");
  EXPECT_EQ(path->text(), "/home/me/Videos/");

  // And back: English again, from the English archive.
  ASSERT_TRUE(app::SwitchSkinLanguage(
      0, uitest::BinDir(), [&](const ControlText& t) { app::ApplyControlText(window.get(), t); }));
  EXPECT_EQ(merge->text(), "Merge");
}

// Arabic is read from right to left: in it every window is mirrored, the
// title bar's buttons at the left and the logo at the right; any other
// language turns it back.
TEST_F(UiTest, ArabicMirrorsTheWindows) {
  constexpr int kArabic = 864;
  std::unique_ptr<QWidget> window(app::LoadLayout("skin.xml"));
  ASSERT_NE(window, nullptr);
  window->resize(1000, 680);
  window->show();
  auto* logo = app::FindControl(window.get(), "TitleLogo");
  auto* close = app::FindControl(window.get(), "btnClose");
  ASSERT_TRUE(logo && close);
  auto closeIsLeftOfLogo = [&] {
    QCoreApplication::processEvents();
    return close->mapTo(window.get(), QPoint()).x() < logo->mapTo(window.get(), QPoint()).x();
  };
  EXPECT_FALSE(closeIsLeftOfLogo());

  ASSERT_TRUE(app::SwitchSkinLanguage(kArabic, uitest::BinDir(), nullptr));
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::RightToLeft);
  EXPECT_TRUE(window->isRightToLeft());
  EXPECT_TRUE(closeIsLeftOfLogo());

  for (const app::LanguageInfo& l : app::Languages()) {
    if (l.languageId == kArabic) continue;
    ASSERT_TRUE(app::SwitchSkinLanguage(l.languageId, uitest::BinDir(), nullptr)) << l.name;
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight) << l.name;
    EXPECT_FALSE(closeIsLeftOfLogo()) << l.name;
    ASSERT_TRUE(app::SwitchSkinLanguage(kArabic, uitest::BinDir(), nullptr));
  }
  ASSERT_TRUE(app::SwitchSkinLanguage(0, uitest::BinDir(), nullptr));
}

TEST_F(UiTest, SwitchToALanguageWithoutArchiveKeepsTheOneInUse) {
  // An install folder that has only the English archive.
  const std::string install = sandbox().installDir();
  ASSERT_TRUE(platform::CreateFolders(install + "/skin"));
  std::string archive;
  ASSERT_TRUE(platform::ReadFile(uitest::BinDir() + "/skin/skin_en.skin", &archive));
  ASSERT_TRUE(platform::WriteFileAtomic(install + "/skin/skin_en.skin", archive));
  ASSERT_TRUE(app::SwitchSkinLanguage(0, install, nullptr));
  const QString inUse = app::CurrentSkinArchive();

  int reported = 0;
  EXPECT_FALSE(app::SwitchSkinLanguage(950, install, [&](const ControlText&) { ++reported; }));
  EXPECT_EQ(reported, 0);
  EXPECT_EQ(app::Oem().skinFile, "skin_en.skin");
  EXPECT_EQ(app::CurrentSkinArchive(), inUse);
  std::unique_ptr<QWidget> window(app::LoadLayout("skin.xml"));
  EXPECT_NE(window, nullptr);
}

TEST_F(UiTest, TextsApplyByTheirKind) {
  std::unique_ptr<QWidget> row(app::LoadLayout("video_info.xml"));
  ASSERT_NE(row, nullptr);
  struct Case {
    ControlText text;
    bool applied;
  };
  const Case cases[] = {
      {{"LabTextVideoInfo1", "Formato:", TextKind::kText, ""}, true},
      {{"btn_clip_video", "Recortar", TextKind::kToolTip, ""}, true},
      {{"edit_new_video_name", "Nombre", TextKind::kHint, ""}, true},
      {{"LabTextVideoInfo2", "Duración", TextKind::kHint, ""}, false},  // a label has no hint
      {{"layClipVideo1", "x", TextKind::kText, ""}, false},             // a container has no text
      {{"no_such_control", "x", TextKind::kText, ""}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(app::ApplyControlText(row.get(), c.text), c.applied) << c.text.name.toStdString();
  EXPECT_EQ(app::FindControl<QLabel>(row.get(), "LabTextVideoInfo1")->text(), "Formato:");
  EXPECT_EQ(app::FindControl(row.get(), "btn_clip_video")->toolTip(), "Recortar");
  EXPECT_EQ(app::FindControl<QLineEdit>(row.get(), "edit_new_video_name")->placeholderText(),
            "Nombre");
}

}  // namespace
