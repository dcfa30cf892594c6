// The main window on the offscreen platform, with the built skin and the real engine.
#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

#include <chrono>
#include <functional>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/base_window.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"
#include "tests/main_window/main_frame_fixture.h"
#include "ui/list_rows.h"
#include "ui/main_frame.h"

using engine::ConvertKind;
using engine::ItemState;

namespace {

using mainwindowtest::MainFrameTest;
using mainwindowtest::WaitUntil;

TEST_F(MainFrameTest, StartsOnTheEmptyVideoListWithItsFolderAndNothingElseOpen) {
  EXPECT_EQ(frame_->currentList(), ConvertKind::Video);
  EXPECT_FALSE(Control("empty_frame")->isHidden());
  EXPECT_TRUE(Control("no_empty_frame")->isHidden());
  std::string folder = sandbox().home() + "/Documents/PelmarVideoConverter/";
  EXPECT_EQ(frame_->OutputFolder().toStdString(), folder);
  EXPECT_TRUE(platform::IsDirectory(folder));
  EXPECT_NE(Control<QLabel>("TitleText")->text().indexOf("1.0.0.0"), -1);
  // Even the very first start opens no help page by itself.
  EXPECT_TRUE(app::Settings().openTutorial);
  EXPECT_TRUE(opened_.empty());
  // The bar's folder button opens the output folder.
  Control<QAbstractButton>("btn_open_save_folder")->click();
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(QUrl(opened_.back()).toLocalFile().toStdString(), folder);
}

// Help and the folder open when asked; where the desktop has no program for
// them, the window says so by name instead of doing nothing.
TEST_F(MainFrameTest, HelpAndFolderSayWhenNoProgramCanOpenThem) {
  bool desktopCan = true;
  app::SetAddressOpener([&](const QString& address) {
    opened_.push_back(address);
    return desktopCan;
  });
  auto helpFromMenu = [this] {
    Control<QAbstractButton>("btnMenu")->click();
    auto* menu = frame_->findChild<QMenu*>("main_menu");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    QAction* help = menu->findChild<QAction*>("menuHelp");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->text().toStdString(), app::LangText("TipHelp", "Skin"));
    help->trigger();
    menu->hide();
  };
  const QString helpPage = app::SupportAddress();
  const QString folder = frame_->OutputFolder();
  struct Case {
    const char* what;
    std::function<void()> ask;
    QString address;
    QString named;  // as the message names it
  } cases[] = {
      {"help button", [this] { Control<QAbstractButton>("btnKefu")->click(); }, helpPage,
       QUrl(helpPage).toLocalFile()},
      {"help in the menu", helpFromMenu, helpPage, QUrl(helpPage).toLocalFile()},
      {"folder button", [this] { Control<QAbstractButton>("btn_open_save_folder")->click(); },
       QUrl::fromLocalFile(folder).toString(), folder},
  };
  ASSERT_TRUE(QUrl(helpPage).isLocalFile()) << helpPage.toStdString();
  for (bool can : {true, false}) {
    desktopCan = can;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (can ? "" : ", no program"));
      opened_.clear();
      QString box;
      if (!can) AnswerNextBox(app::kIdOk, &box);
      c.ask();
      ASSERT_TRUE(WaitUntil([&] { return !opened_.empty() && (can || !box.isEmpty()); }));
      EXPECT_EQ(opened_, std::vector<QString>{c.address});
      EXPECT_EQ(box, can ? QString() : "No program on this computer can open " + c.named);
    }
  }
}

// The format menu marks the list's current format and size, in the merge
// list its own entries, and follows a choice made in it.
TEST_F(MainFrameTest, TheFormatMenuMarksTheListsChoice) {
  auto openMenu = [this]() -> QMenu* {
    Control<QAbstractButton>("btn_menu_format")->click();
    auto* menu = frame_->findChild<QMenu*>("format_menu");
    if (menu && !WaitUntil([&] { return menu->isVisible(); })) return nullptr;
    return menu;
  };
  auto marked = [](QMenu* menu) {
    QStringList names;
    for (QAction* a : menu->findChildren<QAction*>())
      if (a->isChecked()) names << a->objectName();
    names.sort();
    return names;
  };
  struct Case {
    const char* list;
    const char* choose;  // "": keep the list's starting choice
    QStringList marked;
    const char* label;
  } cases[] = {
      {"optConverVideo", "", {"menu_mp4", "menuex_mp4_origin"}, "MP4 - Same as source"},
      {"optConverVideo", "menuex_mkv_720", {"menu_mkv", "menuex_mkv_720"}, "MKV - 720p"},
      {"optConverMerge", "", {"menu2_mp4", "menuex2_mp4_720"}, "MP4 - 720p"},
      {"optConverMerge", "menuex2_webm_phone", {"menu2_webm", "menuex2_webm_phone"},
       "WEBM - 240p"},
      {"optConverGif", "menuex_gif_tv", {"menu_gif", "menuex_gif_tv"}, "GIF - 360p"},
      {"optConverAudio", "menuex_opus_96", {"menu_opus", "menuex_opus_96"}, "OPUS - 96 kbps"},
      // Each list keeps its own.
      {"optConverVideo", "", {"menu_mkv", "menuex_mkv_720"}, "MKV - 720p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " " + c.choose);
    Control<QAbstractButton>(c.list)->click();
    QMenu* menu = openMenu();
    ASSERT_NE(menu, nullptr);
    if (*c.choose) {
      QAction* entry = menu->findChild<QAction*>(c.choose);
      ASSERT_NE(entry, nullptr);
      entry->trigger();
      menu->hide();
      ASSERT_TRUE(WaitUntil(
          [&] { return Control<QAbstractButton>("btn_menu_format")->text() == c.label; }))
          << Control<QAbstractButton>("btn_menu_format")->text().toStdString();
      menu = openMenu();
      ASSERT_NE(menu, nullptr);
    }
    EXPECT_EQ(marked(menu), c.marked);
    // The format's own entry, which shows an icon rather than a check mark, stands out.
    EXPECT_TRUE(menu->findChild<QAction*>(c.marked.front())->font().bold());
    EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text(), c.label);
    menu->hide();
  }
}

TEST_F(MainFrameTest, SwitchingListsShowsTheirOwnStateAndTexts) {
  std::string clip = Clip("a.mp4");
  frame_->AddFiles({clip});
  ASSERT_NE(frame_->List(ConvertKind::Video), nullptr);
  EXPECT_EQ(frame_->List(ConvertKind::Video)->Count(), 1);
  EXPECT_TRUE(Control("empty_frame")->isHidden());

  Control<QAbstractButton>("optConverAudio")->click();
  EXPECT_EQ(frame_->currentList(), ConvertKind::Audio);
  EXPECT_FALSE(Control("empty_frame")->isHidden());
  EXPECT_TRUE(Control("no_empty_frame")->isHidden());
  EXPECT_EQ(Control<QAbstractButton>("btn_transform")->text().toStdString(),
            app::LangText("BtnExtractTxt", "Text"));
  EXPECT_TRUE(Control<QAbstractButton>("btn_menu_format")->text().startsWith("MP3 - "));
  EXPECT_TRUE(frame_->List(ConvertKind::Video)->isHidden());

  Control<QAbstractButton>("optConverMerge")->click();
  EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text(), "MP4 - 720p");
}

TEST_F(MainFrameTest, DropsTakeTheListsFilesAndNameTheRest) {
  std::string clip = Clip("Holiday.MP4");
  platform::CreateFolders(path("x"));
  testsupport::WriteText(path("notes.txt"), "x");
  testsupport::WriteText(path("x/noext"), "x");
  auto drop = [this](const std::vector<std::string>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
    data.setUrls(urls);
    // As a drag does it: enter, then drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_, &event);
  };
  QString boxText;
  // The files left out are named in one message.
  AnswerNextBox(app::kIdOk, &boxText);
  drop({clip, path("notes.txt"), path("x/noext")});
  EXPECT_EQ(frame_->Items(ConvertKind::Video).size(), 1u);
  EXPECT_TRUE(boxText.contains("notes.txt") && boxText.contains("noext")) << boxText.toStdString();

  AnswerNextBox(app::kIdOk, &boxText);
  drop({path("notes.txt")});
  EXPECT_EQ(boxText.toStdString(), app::LangText("NoSupport", "Message"));
  EXPECT_EQ(frame_->Items(ConvertKind::Video).size(), 1u);

  // Sound files alone or among others: a picture list says the audio list
  // takes them, and the audio list does.
  testsupport::WriteText(path("song.mp3"), "x");
  testsupport::WriteText(path("voice.FLAC"), "x");
  for (const std::vector<std::string>& files :
       {std::vector<std::string>{path("song.mp3")}, {clip, path("song.mp3"), path("voice.FLAC")}}) {
    AnswerNextBox(app::kIdOk, &boxText);
    drop(files);
    EXPECT_TRUE(boxText.contains("song.mp3")) << boxText.toStdString();
    EXPECT_EQ(boxText.contains("voice.FLAC"), files.size() == 3) << boxText.toStdString();
  }
  EXPECT_EQ(frame_->Items(ConvertKind::Video).size(), 2u);
  Control<QAbstractButton>("optConverAudio")->click();
  drop({path("song.mp3"), path("voice.FLAC"), clip});
  EXPECT_EQ(frame_->Items(ConvertKind::Audio).size(), 3u);
}

TEST_F(MainFrameTest, CacheFilesStayOutOfTheAudioAndMergeLists) {
  testsupport::WriteText(path("cache.qsv"), "x");
  Control<QAbstractButton>("optConverAudio")->click();
  frame_->AddFiles({path("cache.qsv")});
  EXPECT_TRUE(frame_->Items(ConvertKind::Audio).empty());
  Control<QAbstractButton>("optConverVideo")->click();
  frame_->AddFiles({path("cache.qsv"), path("cache.qsv")});
  EXPECT_EQ(frame_->Items(ConvertKind::Video).size(), 2u);  // no duplicate check
}

TEST_F(MainFrameTest, RowsFillWhenTheAnalysisIsDone) {
  std::string clip = Clip("Holiday.mov", 6.5);
  frame_->AddFiles({clip});
  ASSERT_EQ(frame_->Items(ConvertKind::Video).size(), 1u);
  engine::VideoItem* item = frame_->Items(ConvertKind::Video)[0].get();
  auto* row = static_cast<QWidget*>(item->listItem);
  ASSERT_NE(row, nullptr);
  auto text = [row](const char* name) {
    auto* label = row->findChild<QLabel*>(name);
    return label ? label->text().toStdString() : std::string("<missing>");
  };
  EXPECT_EQ(text("video_old_name"), "Holiday");
  EXPECT_EQ(text("codec_type"), "MOV");
  EXPECT_EQ(text("codec_type_new"), "MP4");
  EXPECT_EQ(text("video_resolution_new"), "");  // the size comes with the analysis
  ASSERT_TRUE(WaitUntil([item] { return item->analysed.load(); }));
  QApplication::processEvents();
  EXPECT_EQ(text("video_duration"), "00:00:06");
  EXPECT_EQ(text("video_resolution"), "320x240");
  EXPECT_EQ(text("video_resolution_new"), "320x240");
  EXPECT_TRUE(row->findChild<QWidget*>("load_cover")->isHidden());
  EXPECT_TRUE(row->findChild<app::SkinLabel*>("video_cover")->hasImage());
}

TEST_F(MainFrameTest, RowsAreSizedByTheirOwnListAndOnlyAslantOnesCannotBeClipped) {
  std::string large = path("large.mp4");
  ASSERT_EQ(testsupport::MakeMedia(large, testsupport::Clip(0.5, 1920, 1080)), "");
  testsupport::MediaSpec turned = testsupport::Clip(1.0, 320, 240);
  turned.rotation = 90;
  std::string phone = path("phone.mp4");
  ASSERT_EQ(testsupport::MakeMedia(phone, turned), "");
  turned.rotation = 45;
  std::string aslant = path("aslant.mp4");
  ASSERT_EQ(testsupport::MakeMedia(aslant, turned), "");
  frame_->AddFiles({large, phone, aslant});
  // The GIF list is shown when the analysis reports: the rows keep the video list's sizes.
  Control<QAbstractButton>("optConverGif")->click();
  const auto& items = frame_->Items(ConvertKind::Video);
  ASSERT_EQ(items.size(), 3u);
  ASSERT_TRUE(WaitUntil(
      [&items] { return items[0]->analysed && items[1]->analysed && items[2]->analysed; }));
  QApplication::processEvents();
  EXPECT_EQ(items[0]->outputResolutionText, "1920x1080");  // the GIF list would give 1280x720
  // A phone's portrait clip is trimmed and cropped upright; a picture turned
  // aslant has no rectangle that is the one shown.
  EXPECT_EQ(items[1]->rotation, 90);
  EXPECT_FALSE(static_cast<QWidget*>(items[1]->listItem)->findChild<QWidget*>("layClipVideo1")
                   ->isHidden());
  EXPECT_EQ(items[2]->rotation, 45);
  EXPECT_TRUE(static_cast<QWidget*>(items[2]->listItem)->findChild<QWidget*>("layClipVideo1")
                  ->isHidden());
}

TEST_F(MainFrameTest, ALanguageSwitchChangesControlsAndRows) {
  frame_->AddFiles({Clip("a.mp4")});
  auto* row = static_cast<QWidget*>(frame_->Items(ConvertKind::Video)[0]->listItem);
  const int german = app::LanguageIdOfMenuItem("menuDE");
  frame_->SwitchLanguage(german);
  EXPECT_EQ(app::CurrentLanguageId(), german);
  EXPECT_EQ(Control<QAbstractButton>("btn_transform")->text().toStdString(),
            app::LangText("BtnConverTxt", "Text"));
  EXPECT_EQ(row->findChild<QLabel*>("LabTextVideoInfo1")->text().toStdString(),
            app::LangText("TextVideoInfo1", "Text"));
  EXPECT_NE(app::LangText("BtnConverTxt", "Text"), "Convert");  // German indeed
  EXPECT_EQ(app::Settings().ReadLanguageLcid(), app::LcidOfLanguage(german));
  frame_->SwitchLanguage(1252);
  EXPECT_EQ(Control<QAbstractButton>("btn_transform")->text(), "Convert");

  // Every language the menu offers switches the window over.
  for (const app::LanguageInfo& lang : app::Languages()) {
    if (!lang.menuItem || !*lang.menuItem) continue;
    frame_->SwitchLanguage(app::LanguageIdOfMenuItem(lang.menuItem));
    EXPECT_EQ(app::CurrentLanguageId(), lang.languageId) << lang.name;
    EXPECT_EQ(Control<QAbstractButton>("btn_transform")->text().toStdString(),
              app::LangText("BtnConverTxt", "Text"))
        << lang.name;
  }
}

TEST_F(MainFrameTest, ClosingAsksOncePerBusyListAndNoKeepsTheWindow) {
  std::string clip = Clip("a.mp4");
  frame_->AddFiles({clip});
  Control<QAbstractButton>("optConverGif")->click();
  frame_->AddFiles({clip});
  // A row counts as busy by its item's state, whichever list is shown.
  frame_->Items(ConvertKind::Video)[0]->state = ItemState::Converting;
  frame_->Items(ConvertKind::Gif)[0]->state = ItemState::Queued;
  frame_->show();
  QString text;
  AnswerNextBox(app::kIdNo, &text);
  Control<QAbstractButton>("btnClose")->click();
  EXPECT_EQ(text.toStdString(), app::LangText("ConfirmClose", "Message"));
  EXPECT_TRUE(frame_->isVisible());
  // Escape never closes it either.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(frame_, &escape);
  EXPECT_TRUE(frame_->isVisible());
  for (auto kind : {ConvertKind::Video, ConvertKind::Gif})
    frame_->Items(kind)[0]->state = ItemState::Idle;
}

TEST_F(MainFrameTest, TeardownEndsTheQueueAndRemovesTheWorkingFolders) {
  frame_->AddFiles({Clip("a.mp4")});
  engine::EngineDirs dirs = engine::EngineDirs::ForApp(app::Paths());
  ASSERT_TRUE(platform::IsDirectory(dirs.scratch));
  delete frame_;
  frame_ = nullptr;
  EXPECT_FALSE(platform::IsDirectory(dirs.scratch));
  EXPECT_FALSE(platform::IsDirectory(dirs.work));
  EXPECT_EQ(platform::EmptyFolder(dirs.cover), 0);
}

}  // namespace
