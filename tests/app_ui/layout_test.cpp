// The skin archives: one per language, each with every layout, and the
// layouts with every control the windows look up, of the kind they use.
#include "app/ui/layout.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

#include <memory>
#include <vector>

#include "app/core/language.h"
#include "app/ui/popup_menu.h"
#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "engine/format_catalog.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using uitest::ArchivePath;
using uitest::UiTest;

const char* const kWindowLayouts[] = {"skin.xml",        "ConverCtrl.xml",  "video_info.xml",
                                      "dlg_message.xml", "dlg_about.xml",   "dlg_setting.xml",
                                      "dlg_merge.xml"};
const char* const kMenuLayouts[] = {"main_menu.xml", "format_menu.xml"};

TEST_F(UiTest, EveryLanguageHasAnArchiveWithEveryLayout) {
  for (const app::LanguageInfo& l : app::Languages()) {
    SCOPED_TRACE(l.name);
    const QString path = ArchivePath(l.skin);
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    ASSERT_TRUE(app::UseSkinArchive(path));
    EXPECT_FALSE(app::SkinStyleSheet().isEmpty());
    for (const char* name : kWindowLayouts) {
      QString error;
      std::unique_ptr<QWidget> root(app::LoadLayout(name, nullptr, &error));
      EXPECT_NE(root, nullptr) << error.toStdString();
    }
    for (const char* name : kMenuLayouts) {
      QString error;
      EXPECT_NE(app::PopupMenu::Load(name, nullptr, nullptr, &error), nullptr)
          << error.toStdString();
    }
  }
}

enum class Kind { kAny, kButton, kOption, kCheck, kEdit, kLabel, kList, kPicture, kPages, kProgress };

bool IsKind(QWidget* w, Kind kind) {
  auto* button = qobject_cast<QAbstractButton*>(w);
  switch (kind) {
    case Kind::kAny:
      return true;
    case Kind::kButton:
      return button != nullptr;
    case Kind::kOption:
      return button && button->isCheckable() && button->autoExclusive();
    case Kind::kCheck:
      return button && button->isCheckable() && !button->autoExclusive();
    case Kind::kEdit:
      return qobject_cast<QLineEdit*>(w) != nullptr;
    case Kind::kLabel:
      return qobject_cast<QLabel*>(w) != nullptr;
    case Kind::kList:
      return qobject_cast<app::SkinList*>(w) != nullptr;
    case Kind::kPicture:
      return w->metaObject()->indexOfProperty("bkimage") >= 0;
    case Kind::kPages:
      return qobject_cast<QStackedWidget*>(w) != nullptr;
    case Kind::kProgress:
      return qobject_cast<QProgressBar*>(w) != nullptr;
  }
  return false;
}

struct Control {
  const char* name;
  Kind kind;
};

TEST_F(UiTest, LayoutsHoldTheControlsTheWindowsUse) {
  const std::vector<std::pair<const char*, std::vector<Control>>> table = {
      {"skin.xml",  // the main window, with its bottom bar built in
       {{"DlgFrame", Kind::kAny},
        {"TitleText", Kind::kLabel},
        {"TitleLogo", Kind::kPicture},
        {"LayoutToolbox", Kind::kAny},
        {"btnToolbox", Kind::kButton},
        {"LayoutUserMenu", Kind::kAny},
        {"btnLogin", Kind::kButton},
        {"btnCopyId", Kind::kButton},
        {"btnModifyUser", Kind::kButton},
        {"btnResetPass", Kind::kButton},
        {"btnLogout", Kind::kButton},
        {"btnLogout2", Kind::kButton},
        {"btnClose", Kind::kButton},
        {"btnMax", Kind::kButton},
        {"btnMin", Kind::kButton},
        {"btnRestore", Kind::kButton},
        {"btnMenu", Kind::kButton},
        {"btnKefu", Kind::kButton},
        {"optConverVideo", Kind::kOption},
        {"optConverAudio", Kind::kOption},
        {"optConverGif", Kind::kOption},
        {"optConverMerge", Kind::kOption},
        {"listVideo", Kind::kList},
        {"listAudio", Kind::kList},
        {"listGif", Kind::kList},
        {"listMerge", Kind::kList},
        {"empty_frame", Kind::kAny},
        {"no_empty_frame", Kind::kAny},
        {"btn_addfile01", Kind::kButton},
        {"btn_addfile02", Kind::kButton},
        {"btn_clear_list", Kind::kButton},
        {"btn_menu_format", Kind::kButton},
        {"ConverCtrl", Kind::kAny},
        {"btn_transform", Kind::kButton},
        {"edit_output_path", Kind::kEdit},
        {"btn_select_folder", Kind::kButton},
        {"btn_open_save_folder", Kind::kButton},
        {"ckb_poweroff", Kind::kCheck},
        {"optConverVideo_Bottom", Kind::kOption},
        {"optConverAudio_Bottom", Kind::kOption},
        {"optConverGif_Bottom", Kind::kOption},
        {"optConverMerge_Bottom", Kind::kOption}}},
      {"video_info.xml",
       {{"video_old_name", Kind::kLabel},
        {"edit_new_video_name", Kind::kEdit},
        {"codec_type", Kind::kLabel},
        {"video_size", Kind::kLabel},
        {"codec_type_new", Kind::kLabel},
        {"layNewVideo", Kind::kAny},
        {"layNewAudio", Kind::kAny},
        {"video_resolution_new", Kind::kLabel},
        {"audio_bitrate", Kind::kLabel},
        {"video_duration", Kind::kLabel},
        {"video_resolution", Kind::kLabel},
        {"video_duration_new", Kind::kLabel},
        {"video_duration_new2", Kind::kLabel},
        {"video_cover", Kind::kPicture},
        {"load_cover", Kind::kAny},
        {"LabTextVideoInfo1", Kind::kLabel},
        {"LabTextVideoInfo2", Kind::kLabel},
        {"LabTextVideoInfo3", Kind::kLabel},
        {"LabTextVideoInfo4", Kind::kLabel},
        {"LabTextVideoInfo5", Kind::kLabel},
        {"LabTextVideoInfo6", Kind::kLabel},
        {"LabTextVideoInfo7", Kind::kLabel},
        {"LabTextVideoInfo8", Kind::kLabel},
        {"LabTextVideoInfo9", Kind::kLabel},
        {"btn_video_rename", Kind::kButton},
        {"btn_clip_video", Kind::kButton},
        {"btn_play_video", Kind::kButton},
        {"btn_open_video_folder", Kind::kButton},
        {"btn_re_recode", Kind::kButton},
        {"btn_stop_recode", Kind::kButton},
        {"btn_del_video", Kind::kButton},
        {"btn_recode_fail", Kind::kButton},
        {"btn_up_video", Kind::kButton},
        {"btn_down_video", Kind::kButton},
        {"recode_success", Kind::kAny},
        {"pic_recode_progress", Kind::kPicture},
        {"layNewDuration1", Kind::kAny},
        {"layNewDuration2", Kind::kAny},
        {"layResultVideo1", Kind::kAny},
        {"layResultVideo2", Kind::kAny},
        {"layRecodeVideo1", Kind::kAny},
        {"layRecodeVideo2", Kind::kAny},
        {"layUpVideo1", Kind::kAny},
        {"layUpVideo2", Kind::kAny},
        {"layDownVideo1", Kind::kAny},
        {"layDownVideo2", Kind::kAny},
        {"layClipVideo1", Kind::kAny},
        {"layClipVideo2", Kind::kAny},
        {"layDelVideo1", Kind::kAny},
        {"layDelVideo2", Kind::kAny}}},
      {"dlg_message.xml",
       {{"DlgFrame", Kind::kAny},
        {"caption", Kind::kLabel},
        {"context", Kind::kLabel},
        {"errorLogo", Kind::kAny},
        {"warnLogo", Kind::kAny},
        {"infoLogo", Kind::kAny},
        {"btnYes", Kind::kButton},
        {"btnClose", Kind::kButton},
        {"btnKefu", Kind::kButton},
        {"optNoShowAgain", Kind::kCheck}}},
      {"dlg_about.xml",
       {{"DlgFrame", Kind::kPicture},
        {"ProductName", Kind::kLabel},
        {"label_version", Kind::kLabel},
        {"AboutLogo", Kind::kPicture},
        {"CompanyName", Kind::kLabel},
        {"buttonSite", Kind::kButton},
        {"LayCompanyInfo", Kind::kAny},
        {"btnClose", Kind::kButton}}},
      {"dlg_setting.xml",
       {{"DlgFrame", Kind::kAny},
        {"tabMain", Kind::kPages},
        {"tabBitRateSetting", Kind::kOption},
        {"tabFPSSetting", Kind::kOption},
        {"tabConmonSetting", Kind::kOption},
        {"edtBitRate", Kind::kEdit},
        {"edtFPS", Kind::kEdit},
        {"StandbyServer", Kind::kCheck},
        {"btnDefault", Kind::kButton},
        {"btnYes", Kind::kButton},
        {"btnClose", Kind::kButton}}},
      {"dlg_merge.xml",
       {{"DlgFrame", Kind::kAny},
        {"progressMerge", Kind::kProgress},
        {"labMergePercent", Kind::kLabel},
        {"btnStop", Kind::kButton},
        {"btnClose", Kind::kButton}}},
  };
  for (const auto& [layout, controls] : table) {
    std::unique_ptr<QWidget> root(app::LoadLayout(layout));
    ASSERT_NE(root, nullptr) << layout;
    for (const Control& c : controls) {
      QWidget* w = app::FindControl(root.get(), c.name);
      ASSERT_NE(w, nullptr) << layout << ": " << c.name;
      EXPECT_TRUE(IsKind(w, c.kind))
          << layout << ": " << c.name << " is a " << w->metaObject()->className();
    }
  }
  // Rows are built alone: the row layout names no list and no window control.
  std::unique_ptr<QWidget> row(app::LoadLayout("video_info.xml"));
  EXPECT_EQ(app::FindControl(row.get(), "listVideo"), nullptr);
}

TEST_F(UiTest, LanguageMenuHasAnItemPerLanguageOfTheTable) {
  auto menu = app::PopupMenu::Load("main_menu.xml", nullptr, nullptr);
  ASSERT_NE(menu, nullptr);
  for (const char* name : {"menuSetting", "menuAbout", "menuUpdate", "menuFeedback"})
    EXPECT_NE(menu->Item(name), nullptr) << name;
  int items = 0;
  for (const app::LanguageInfo& l : app::Languages()) {
    if (!*l.menuItem) continue;
    ++items;
    QAction* item = menu->Item(l.menuItem);
    ASSERT_NE(item, nullptr) << l.menuItem;
    EXPECT_EQ(item->data().toString(), "menuLang");
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->text().isEmpty());
  }
  EXPECT_EQ(items, 12);  // every language, Simplified Chinese too
}

// Every entry of the format menu must name its own format and one size, found
// the way a choice is read: the first format token, then the first size token;
// and each list's entries are exactly what the catalogue offers it, per format,
// under the size's name the format button shows.
TEST_F(UiTest, FormatMenuEntriesNameTheirFormatAndSize) {
  auto menu = app::PopupMenu::Load("format_menu.xml", nullptr, nullptr);
  ASSERT_NE(menu, nullptr);
  const QStringList formats = {"mp4", "mkv",  "avi",  "wmv", "flv",  "mov", "gif", "mp3",
                               "m4a", "webm", "hevc", "av1", "flac", "wav", "opus"};
  const QStringList sizes = {"origin", "1080", "720", "dvd", "tv", "phone", "256", "128", "96",
                             "parts"};
  auto first = [](const QString& name, const QStringList& tokens) {
    for (const QString& t : tokens)
      if (name.contains(t)) return t;
    return QString();
  };
  int tops = 0;
  for (QAction* top : menu->menu()->actions()) {
    if (top->objectName().isEmpty()) continue;  // a separator
    ++tops;
    const QString name = top->objectName();
    ASSERT_NE(top->menu(), nullptr) << name.toStdString();
    EXPECT_FALSE(name.contains("menuex"));
    const bool merge = name.startsWith("menu2_");
    EXPECT_TRUE(merge || name.startsWith("menu_")) << name.toStdString();
    const QString format = name.mid(name.indexOf('_') + 1);
    media::OutputFormat value = media::OutputFormat::Mp4;
    ASSERT_TRUE(engine::ParseFormatToken(format.toStdString(), &value)) << name.toStdString();
    // The list whose entries these are: the merge list's own, else the one
    // picture or sound list that offers the format.
    engine::ConvertKind list = engine::ConvertKind::Merge;
    if (!merge) {
      for (auto k : {engine::ConvertKind::Video, engine::ConvertKind::Audio,
                     engine::ConvertKind::Gif})
        if (engine::ListOffersFormat(k, value)) list = k;
    }
    ASSERT_TRUE(engine::ListOffersFormat(list, value)) << name.toStdString();
    QStringList offered;
    for (media::SizePreset p : engine::SizePresets())
      if (engine::ListOffersPreset(list, value, p))
        offered << QString::fromStdString(engine::PresetToken(p));
    QStringList shown;
    for (QAction* leaf : top->menu()->actions()) {
      const QString leafName = leaf->objectName();
      EXPECT_TRUE(leafName.contains("menuex")) << leafName.toStdString();
      EXPECT_EQ(first(leafName, formats), format) << leafName.toStdString();
      shown << first(leafName, sizes);
      EXPECT_FALSE(leaf->text().isEmpty()) << leafName.toStdString();
      // The entry names its size as the format button does ("720p").
      media::SizePreset preset = media::SizePreset::Origin;
      ASSERT_TRUE(engine::ParsePresetToken(shown.back().toStdString(), &preset));
      if (preset != media::SizePreset::Origin) {
        EXPECT_TRUE(leaf->text().startsWith(
            QString::fromStdString(engine::PresetLabel(value, preset, ""))))
            << leaf->text().toStdString();
      }
    }
    EXPECT_EQ(shown, offered) << name.toStdString();
  }
  // One entry per format of the video, GIF and sound lists, one per format of the merge list.
  int expected = 0;
  for (media::OutputFormat f : engine::OutputFormats())
    expected += 1 + (engine::ListOffersFormat(engine::ConvertKind::Merge, f) ? 1 : 0);
  EXPECT_EQ(tops, expected);
  EXPECT_EQ(expected, 24);
}

}  // namespace

namespace {

TEST_F(UiTest, MenuItemsReportNameUserDataAndTextOnceTheMenuIsGone) {
  std::vector<app::MenuCommand> commands;
  auto menu = app::PopupMenu::Load("main_menu.xml", nullptr,
                                   [&](const app::MenuCommand& c) { commands.push_back(c); });
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->SetItemChecked("menuDE", true));
  EXPECT_TRUE(menu->Item("menuDE")->isChecked());
  EXPECT_TRUE(menu->SetItemVisible("menuAbout", false));
  EXPECT_FALSE(menu->Item("menuAbout")->isVisible());
  EXPECT_FALSE(menu->SetItemChecked("menuNone", true));
  EXPECT_EQ(menu->Item("menuNone"), nullptr);

  // A language item sits in a submenu; its choice still reaches the handler,
  // once, and only after the menu has been left.
  menu->Item("menuDE")->trigger();
  EXPECT_TRUE(commands.empty());
  menu.reset();  // the handler may destroy the menu it came from
  ASSERT_TRUE(uitest::WaitFor([&] { return !commands.empty(); }));
  QCoreApplication::processEvents();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].name, "menuDE");
  EXPECT_EQ(commands[0].userData, "menuLang");
  EXPECT_EQ(commands[0].text, "Deutsch");
}

// The format menu opens under its button, on the side the window reads
// from: right edges aligned left to right, left edges right to left.
TEST_F(UiTest, MenusOpenUnderTheirButtonOnTheReadingSide) {
  for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
    SCOPED_TRACE(direction == Qt::LeftToRight ? "left to right" : "right to left");
    QGuiApplication::setLayoutDirection(direction);
    QWidget window;
    window.setGeometry(100, 100, 600, 400);
    auto* button = new QPushButton("MP4", &window);
    button->setGeometry(250, 20, 40, 30);
    window.show();
    auto menu = app::PopupMenu::Load("format_menu.xml", &window, nullptr);
    ASSERT_NE(menu, nullptr);
    menu->PopupUnder(button);
    ASSERT_TRUE(uitest::WaitFor([&] { return menu->menu()->isVisible(); }));
    const QRect under = menu->menu()->geometry();
    const QRect anchor(button->mapToGlobal(QPoint()), button->size());
    ASSERT_GT(under.width(), anchor.width());  // else both edges would agree
    EXPECT_GT(under.top(), anchor.bottom());
    if (direction == Qt::LeftToRight)
      EXPECT_EQ(under.right(), anchor.right());
    else
      EXPECT_EQ(under.left(), anchor.left());
    menu->menu()->hide();
  }
  QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

}  // namespace

