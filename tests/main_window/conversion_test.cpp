// Converting from the window: rows by state, the format menu's choices, start,
// stop, remove, rename, failures and the power-off, with the real engine.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/message_text.h"
#include "app/ui/base_window.h"
#include "app/ui/skin_controls.h"
#include "engine/video_item.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/main_window/main_frame_fixture.h"
#include "tests/plugin/cache_files.h"
#include "tests/support/media.h"
#include "tests/support/read_only_folder.h"
#include "ui/clip_editor/video_player_dlg.h"
#include "ui/list_rows.h"

namespace {

using engine::ConvertKind;
using engine::ItemState;
using mainwindowtest::MainFrameTest;
using mainwindowtest::WaitUntil;

bool Shown(QWidget* row, const char* name) {
  QWidget* w = row->findChild<QWidget*>(name);
  return w && !w->isHidden();
}

std::string Text(QWidget* row, const char* name) {
  if (auto* label = row->findChild<QLabel*>(name)) return label->text().toStdString();
  if (auto* edit = row->findChild<QLineEdit*>(name)) return edit->text().toStdString();
  return "<missing>";
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path());
  return names;
}

QWidget* RowOf(const engine::ItemPtr& item) { return static_cast<QWidget*>(item->listItem); }

class ConversionTest : public MainFrameTest {
 protected:
  void Click(QWidget* row, const char* button) {
    auto* b = row->findChild<QAbstractButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    b->click();
  }
  void ClickBar(const char* button) { Control<QAbstractButton>(button)->click(); }
  bool AllAnalysed(ConvertKind list) {
    return WaitUntil([&] {
      for (const auto& item : frame_->Items(list))
        if (!item->analysed) return false;
      return true;
    });
  }
  bool AllEnded(ConvertKind list) {
    return WaitUntil([&] {
      for (const auto& item : frame_->Items(list)) {
        ItemState s = item->state.load();
        if (s == ItemState::Queued || s == ItemState::Converting) return false;
      }
      return true;
    });
  }
  // Opens the row's clip editor, lets `look` see it once it shows, fills its
  // boxes and leaves it with the button named; returns when it closed.
  void EditClip(QWidget* row, std::vector<std::pair<const char*, const char*>> boxes,
                bool keepRatioOff, const char* button,
                std::function<void(CVideoPlayerDlg&)> look = {}) {
    auto* poll = new QTimer(frame_);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
      auto* dlg = qobject_cast<CVideoPlayerDlg*>(QApplication::activeModalWidget());
      if (!dlg || !dlg->isVisible()) return;
      poll->stop();
      poll->deleteLater();
      if (look) look(*dlg);
      if (keepRatioOff) dlg->FindControl<QCheckBox>(QStringLiteral("optKeepRatio"))->click();
      for (const auto& [name, text] : boxes) {
        auto* box = dlg->FindControl<QLineEdit>(QString::fromLatin1(name));
        box->setFocus();
        box->setText(QString::fromLatin1(text));
      }
      dlg->FindControl<QAbstractButton>(QString::fromLatin1(button))->click();
    });
    poll->start(10);
    Click(row, "btn_clip_video");
  }
  // The GIF list converting a clip that takes the transcoder a while (large
  // frames from a long source), then the other files; returns the GIF items
  // once the first one's job runs.
  std::vector<engine::ItemPtr> StartSlowGif(const std::vector<std::string>& more = {}) {
    std::string slow = path("slow.mp4");
    testsupport::MediaSpec spec = testsupport::Clip(40, 640, 360);
    spec.fps = 10;
    EXPECT_EQ(testsupport::MakeMedia(slow, spec), "");
    std::vector<std::string> files{slow};
    files.insert(files.end(), more.begin(), more.end());
    ClickBar("optConverGif");
    frame_->AddFiles(files);
    EXPECT_TRUE(AllAnalysed(ConvertKind::Gif));
    frame_->ApplyFormatChoice("menuex_gif_dvd");
    const auto items = frame_->Items(ConvertKind::Gif);
    ClickBar("btn_transform");
    EXPECT_TRUE(WaitUntil([&] { return frame_->session().Queue().JobOf(items[0].get()) != nullptr; }));
    return items;
  }
  std::string OutputFolder() { return frame_->OutputFolder().toStdString(); }
};

// A row says when another file has its name, and once done names the file
// it made: the clash rule gave it another name.
TEST_F(ConversionTest, ARowSaysItsNameIsTakenAndADoneRowNamesTheFileItMade) {
  const std::string same = Clip("same.mp4", 1);
  testsupport::WriteText(OutputFolder() + "other.mp4", "x");
  frame_->AddFiles({same, same, Clip("other.mp4", 1), Clip("free.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const auto items = frame_->Items(ConvertKind::Video);
  const std::string taken = app::LangText("NameTaken", "Text");
  ASSERT_TRUE(WaitUntil([&] { return Text(RowOf(items[1]), "row_status") == taken; }));
  EXPECT_EQ(Text(RowOf(items[2]), "row_status"), taken);
  for (int i : {0, 3}) EXPECT_NE(Text(RowOf(items[i]), "row_status"), taken);

  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  QApplication::processEvents();
  auto stem = [](const std::string& path) {
    const std::string file = platform::FileNameOf(path);
    return file.substr(0, file.rfind('.'));
  };
  for (const auto& item : items) {
    ASSERT_EQ(item->state.load(), ItemState::Done) << item->failureReason;
    EXPECT_EQ(Text(RowOf(item), "edit_new_video_name"), stem(item->outputPath));
    EXPECT_NE(Text(RowOf(item), "row_status"), taken);
  }
  EXPECT_EQ(stem(items[0]->outputPath), "same");
  EXPECT_NE(stem(items[1]->outputPath), "same");
  EXPECT_NE(stem(items[2]->outputPath), "other");
}

// A folder that takes no files is said once, before anything is queued.
TEST_F(ConversionTest, AReadOnlyOutputFolderIsSaidOnceBeforeAnythingIsQueued) {
  const std::string folder = path("read-only");
  testsupport::ReadOnlyFolder readOnly(folder);
  if (!readOnly.Ok()) GTEST_SKIP() << "no read-only folder could be made here";
  Control<QLineEdit>("edit_output_path")->setText(QString::fromStdString(folder + "/"));
  frame_->AddFiles({Clip("one.mp4", 1), Clip("two.mp4", 1), Clip("three.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  QString said;
  AnswerNextBox(app::kIdOk, &said);
  ClickBar("btn_transform");
  EXPECT_TRUE(said.contains(QString::fromStdString(folder))) << said.toStdString();
  for (const auto& item : frame_->Items(ConvertKind::Video)) {
    EXPECT_EQ(item->state.load(), ItemState::Idle);
    EXPECT_FALSE(Shown(RowOf(item), "btn_recode_fail"));
  }
}

// Each state of a row of each list shows its own buttons.
TEST_F(ConversionTest, RowsShowTheButtonsOfTheirState) {
  struct Case {
    ConvertKind list;
    ItemState state;
    bool busy;
    std::vector<const char*> shown, hidden;
  };
  const std::vector<Case> cases = {
      {ConvertKind::Video, ItemState::Queued, true,
       {"pic_recode_progress", "btn_stop_recode", "layDelVideo1"},
       {"btn_del_video", "btn_re_recode", "btn_video_rename", "layClipVideo1", "btn_play_video",
        "layResultVideo1", "layUpVideo1"}},
      {ConvertKind::Video, ItemState::Done, false,
       {"btn_play_video", "btn_open_video_folder", "recode_success", "btn_re_recode",
        "btn_del_video"},
       {"btn_video_rename", "layClipVideo1", "btn_recode_fail", "btn_stop_recode",
        "pic_recode_progress"}},
      {ConvertKind::Video, ItemState::Failed, false,
       {"btn_recode_fail", "layResultVideo1", "btn_re_recode", "btn_video_rename", "row_status"},
       {"recode_success", "btn_play_video", "btn_open_video_folder"}},
      {ConvertKind::Merge, ItemState::Idle, false,
       {"layUpVideo1", "layDownVideo2", "btn_del_video"},
       {"btn_video_rename", "btn_re_recode", "btn_open_video_folder", "layRecodeVideo1"}},
      {ConvertKind::Merge, ItemState::Converting, true,
       {"layRecodeVideo1", "pic_recode_progress", "btn_stop_recode"},
       {"layUpVideo1", "btn_del_video", "btn_re_recode"}},
      {ConvertKind::Audio, ItemState::Stopped, false,
       {"btn_re_recode", "btn_video_rename", "btn_del_video"},
       {"layResultVideo1", "btn_stop_recode", "pic_recode_progress"}},
  };
  app::SkinList list;
  for (const Case& c : cases) {
    engine::VideoItem item(Clip("a.mp4"), c.list);
    item.state = c.state;
    item.failureReason = "exit code 1: Invalid data found when processing input";
    if (c.state == ItemState::Done) item.outputPath = item.sourcePath;
    QWidget* row = ui::CreateListRow(&list, &item);
    ASSERT_NE(row, nullptr);
    ui::UpdateRowState(row, item, c.busy);
    for (const char* name : c.shown)
      EXPECT_TRUE(Shown(row, name)) << name << " of state " << static_cast<int>(c.state);
    for (const char* name : c.hidden)
      EXPECT_FALSE(Shown(row, name)) << name << " of state " << static_cast<int>(c.state);
    if (c.state == ItemState::Failed) {
      EXPECT_NE(Text(row, "row_status").find("Invalid data"), std::string::npos);
      EXPECT_NE(row->findChild<QWidget*>("btn_recode_fail")->toolTip().indexOf("exit code 1"), -1);
    }
    list.Remove(row);
  }
}

TEST_F(ConversionTest, TheProgressStripShowsOneOfTwentyFrames) {
  const std::pair<int, const char*> cases[] = {
      {0, "source='0,0,44,44'"},     {4, "source='0,0,44,44'"},
      {9, "source='0,0,44,44'"},     {10, "source='44,0,88,44'"},
      {14, "source='44,0,88,44'"},   {100, "source='836,0,880,44'"}};
  for (const auto& [percent, frame] : cases) EXPECT_EQ(ui::ProgressFrame(percent), frame) << percent;
  app::SkinList list;
  engine::VideoItem item(Clip("a.mp4"), ConvertKind::Video);
  QWidget* row = ui::CreateListRow(&list, &item);
  ui::ShowProgress(row, 37);
  auto* strip = row->findChild<app::SkinLabel*>("pic_recode_progress");
  EXPECT_EQ(strip->text(), "37%\n");
  EXPECT_TRUE(strip->bkimage().endsWith("source='264,0,308,44'"));
  list.Remove(row);
}

TEST_F(ConversionTest, CoversShowWhateverTheTitleHolds) {
  frame_->AddFiles({Clip("win b's \"clip\".mov")});
  auto item = frame_->Items(ConvertKind::Video)[0];
  // No trimming before the file's length is known.
  EXPECT_FALSE(Shown(RowOf(item), "layClipVideo1"));
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  QApplication::processEvents();
  ASSERT_TRUE(platform::FileExists(item->coverPath));
  EXPECT_TRUE(RowOf(item)->findChild<app::SkinLabel*>("video_cover")->hasImage());
  EXPECT_TRUE(Shown(RowOf(item), "layClipVideo1"));
}

TEST_F(ConversionTest, FormatChoicesChangeTheLabelAndTheRowsAtRest) {
  std::string big = path("big.mp4");
  ASSERT_EQ(testsupport::MakeMedia(big, testsupport::Clip(1, 1920, 1080)), "");
  frame_->AddFiles({Clip("a.mp4"), big});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  QApplication::processEvents();
  const auto& items = frame_->Items(ConvertKind::Video);
  items[0]->state = ItemState::Done;  // a done row keeps its texts

  frame_->ApplyFormatChoice("menuex_mkv_720");
  EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text(), "MKV - 720p");
  EXPECT_EQ(Text(RowOf(items[1]), "codec_type_new"), "MKV");
  EXPECT_EQ(Text(RowOf(items[1]), "video_resolution_new"), "1280x720");
  EXPECT_EQ(Text(RowOf(items[0]), "codec_type_new"), "MP4");
  EXPECT_EQ(Text(RowOf(items[0]), "video_resolution_new"), "320x240");
  items[0]->state = ItemState::Idle;

  // The GIF list: sizes by height.
  ClickBar("optConverGif");
  frame_->AddFiles({big});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Gif));
  frame_->ApplyFormatChoice("menuex_gif_dvd");
  EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text(), "GIF - 720p");
  EXPECT_EQ(Text(RowOf(frame_->Items(ConvertKind::Gif)[0]), "video_resolution_new"), "1280x720");

  // The audio list: bit rates.
  ClickBar("optConverAudio");
  frame_->AddFiles({Clip("b.mp4")});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Audio));
  frame_->ApplyFormatChoice("menuex_mp3_128");
  const auto& sound = frame_->Items(ConvertKind::Audio);
  EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text(), "MP3 - 128 kbps");
  EXPECT_EQ(Text(RowOf(sound[0]), "audio_bitrate"), "128 kbps");
  EXPECT_EQ(sound[0]->sizePreset, media::SizePreset::Audio128);

  // A language switch keeps the choice and says "origin" in the new language.
  frame_->ApplyFormatChoice("menuex_m4a_origin");
  frame_->SwitchLanguage(app::LanguageIdOfMenuItem("menuDE"));
  EXPECT_EQ(Control<QAbstractButton>("btn_menu_format")->text().toStdString(),
            "M4A - " + app::LangText("FormatOriginText", "Text"));
  frame_->SwitchLanguage(1252);
}

TEST_F(ConversionTest, AStartedListConvertsInOrderAndAStartTwiceQueuesNothingNew) {
  frame_->AddFiles({Clip("one.mp4", 1), Clip("two.mp4", 1), Clip("three.mp4", 1)});
  const auto& items = frame_->Items(ConvertKind::Video);
  ClickBar("btn_transform");
  for (const auto& item : items) {
    const ItemState s = item->state.load();  // the first may have begun already
    EXPECT_TRUE(s == ItemState::Queued || s == ItemState::Converting);
  }
  EXPECT_TRUE(Shown(RowOf(items[2]), "btn_stop_recode"));
  ClickBar("btn_transform");  // nothing new: all are queued or converting
  EXPECT_TRUE(frame_->session().RunOpen());
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  QApplication::processEvents();
  for (const auto& item : items) {
    EXPECT_EQ(item->state.load(), ItemState::Done) << item->failureReason;
    EXPECT_TRUE(platform::FileExists(item->outputPath));
    EXPECT_EQ(platform::ParentDir(item->outputPath) + "/", OutputFolder());
    EXPECT_TRUE(Shown(RowOf(item), "btn_play_video"));
    EXPECT_TRUE(Shown(RowOf(item), "btn_open_video_folder"));
    EXPECT_EQ(Text(RowOf(item), "pic_recode_progress"), "100%\n");
  }
  EXPECT_TRUE(Control("lab_time_left")->isHidden());  // nothing left to wait for
  EXPECT_EQ(poweredOff_, std::vector<std::string>{});  // its box was left unticked
  // In list order: each result is older than the next one.
  for (int i = 0; i + 1 < 3; ++i)
    EXPECT_LE(std::filesystem::last_write_time(items[i]->outputPath),
              std::filesystem::last_write_time(items[i + 1]->outputPath));
  ClickBar("btn_transform");  // all done: nothing is queued again
  EXPECT_EQ(items[0]->state.load(), ItemState::Done);

  // Play opens the result with the desktop's program.
  opened_.clear();
  Click(RowOf(items[1]), "btn_play_video");
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(QUrl(opened_[0]).toLocalFile().toStdString(), items[1]->outputPath);
}

TEST_F(ConversionTest, StopAsksFirstAndYesLeavesNoFile) {
  const auto item = StartSlowGif()[0];
  QString text;
  AnswerNextBox(app::kIdNo, &text);
  Click(RowOf(item), "btn_stop_recode");
  EXPECT_EQ(text.toStdString(), app::LangText("ConfirmStop", "Message"));
  EXPECT_EQ(item->state.load(), ItemState::Converting);

  AnswerNextBox(app::kIdYes, &text);
  Click(RowOf(item), "btn_stop_recode");
  EXPECT_EQ(item->state.load(), ItemState::Stopped);
  EXPECT_TRUE(Shown(RowOf(item), "btn_re_recode"));
  EXPECT_FALSE(Shown(RowOf(item), "btn_stop_recode"));
  EXPECT_TRUE(Entries(OutputFolder()).empty());
}

TEST_F(ConversionTest, RemovingAConvertingRowEndsItsConversion) {
  const auto items = StartSlowGif({Clip("next.mp4", 1)});
  const auto first = items[0], second = items[1];
  QString text;
  AnswerNextBox(app::kIdYes, &text);
  Click(RowOf(first), "btn_del_video");
  EXPECT_EQ(text.toStdString(),
            app::FillTextPlaceholder(app::LangText("RemoveVideo", "Message"), "slow"));
  EXPECT_EQ(frame_->List(ConvertKind::Gif)->Count(), 1);
  EXPECT_EQ(first->state.load(), ItemState::Stopped);
  EXPECT_EQ(first->listItem, nullptr);
  // The next one goes on and is the only result.
  ASSERT_TRUE(AllEnded(ConvertKind::Gif));
  EXPECT_EQ(second->state.load(), ItemState::Done);
  EXPECT_EQ(Entries(OutputFolder()).size(), 1u);
}

TEST_F(ConversionTest, ClearingAListLetsTheOtherListsAnalysisGoOn) {
  frame_->AddFiles({Clip("a.mp4"), Clip("b.mp4")});
  ClickBar("optConverAudio");
  frame_->AddFiles({Clip("c.mp4"), Clip("d.mp4"), Clip("e.mp4")});
  ClickBar("optConverVideo");
  QString text;
  AnswerNextBox(app::kIdYes, &text);
  ClickBar("btn_clear_list");
  EXPECT_EQ(text.toStdString(), app::LangText("ClearVideo", "Message"));
  EXPECT_TRUE(frame_->Items(ConvertKind::Video).empty());
  EXPECT_EQ(frame_->List(ConvertKind::Video)->Count(), 0);
  EXPECT_FALSE(Control("empty_frame")->isHidden());
  ASSERT_TRUE(AllAnalysed(ConvertKind::Audio));
  for (const auto& item : frame_->Items(ConvertKind::Audio)) {
    EXPECT_EQ(item->durationSeconds, 2);
    EXPECT_TRUE(platform::FileExists(item->coverPath)) << "covers of other lists stay";
  }
}

TEST_F(ConversionTest, RenamingRefusesWhatIsNoFileName) {
  frame_->AddFiles({Clip("a.mp4")});
  auto item = frame_->Items(ConvertKind::Video)[0];
  QWidget* row = RowOf(item);
  auto* edit = row->findChild<QLineEdit*>("edit_new_video_name");
  EXPECT_FALSE(edit->isEnabled());
  auto rename = [&](const QString& name) {
    Click(row, "btn_video_rename");
    EXPECT_TRUE(edit->isEnabled());
    edit->setText(name);
    QFocusEvent out(QEvent::FocusOut);  // the user clicks elsewhere
    QApplication::sendEvent(edit, &out);
    EXPECT_FALSE(edit->isEnabled());
  };
  for (const char* bad : {"a/b", "..", "x\ny"}) {
    QString text;
    AnswerNextBox(app::kIdOk, &text);
    rename(bad);
    ASSERT_TRUE(WaitUntil([&] { return !text.isEmpty(); }, 10000)) << bad;
    EXPECT_NE(text.indexOf(bad), -1);
    EXPECT_EQ(item->outputName, "a");
    EXPECT_EQ(edit->text(), "a");
  }
  // An empty name gives the old one back; a good one is taken.
  rename("");
  EXPECT_EQ(edit->text(), "a");
  rename("holiday 2026");
  EXPECT_EQ(item->outputName, "holiday 2026");
  // The new name reaches the file.
  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  EXPECT_EQ(platform::FileNameOf(item->outputPath), "holiday 2026.mp4");
}

TEST_F(ConversionTest, AFailedConversionSaysWhyOnItsRow) {
  std::string clip = Clip("gone.mp4", 1);
  frame_->AddFiles({clip});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  auto item = frame_->Items(ConvertKind::Video)[0];
  platform::DeleteFile(clip);  // gone before the conversion starts
  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  QApplication::processEvents();
  EXPECT_EQ(item->state.load(), ItemState::Failed);
  EXPECT_FALSE(item->failureReason.empty());
  QWidget* row = RowOf(item);
  EXPECT_TRUE(Shown(row, "btn_recode_fail"));
  EXPECT_TRUE(Shown(row, "row_status"));
  EXPECT_NE(Text(row, "row_status").find(app::LangText("TextVideoInfo8", "Text")),
            std::string::npos);
  EXPECT_TRUE(Entries(OutputFolder()).empty());
}

// The power-off judges the run the user started: a failure of it keeps the
// machine on and says why; a success counts down first, and Cancel keeps it on.
TEST_F(ConversionTest, PowerOffJudgesTheRunAndCountsDownFirst) {
  const std::string mark = path("powered-off");
  const std::string command = "touch '" + mark + "'";
  platform::ProfileWriteString(app::Settings().installFile, "Config", "PowerOffCommand", command);
  platform::ProfileWriteString(app::Settings().installFile, "Config", "PowerOffDelay", "1");
  Control<QAbstractButton>("ckb_poweroff")->setChecked(true);
  frame_->AddFiles({Clip("one.mp4", 1), Clip("two.mp4", 1), Clip("three.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const auto items = frame_->Items(ConvertKind::Video);
  // One source goes away: its failure keeps the machine on, and the window says so.
  platform::DeleteFile(items[1]->sourcePath);
  QString kept;
  AnswerNextBox(app::kIdOk, &kept);
  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  ASSERT_TRUE(WaitUntil([&] { return !kept.isEmpty(); }));
  EXPECT_TRUE(kept.contains("two.mp4")) << kept.toStdString();
  EXPECT_EQ(items[1]->state.load(), ItemState::Failed);
  EXPECT_EQ(poweredOff_, std::vector<std::string>{});

  // A run of another list succeeds, with the failed row still there: the
  // countdown shows, and Cancel keeps the machine on.
  auto countdown = [] () -> app::MyBaseWindow* {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<app::MyBaseWindow*>(w);
      if (window && window->isVisible() && window->LayoutFile() == "dlg_power_off.xml") return window;
    }
    return nullptr;
  };
  ClickBar("optConverAudio");
  frame_->AddFiles({Clip("a.mp4", 1), Clip("b.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Audio));
  QString said;
  QTimer cancel;  // the countdown runs its own loop: answered from a timer
  QObject::connect(&cancel, &QTimer::timeout, [&] {
    app::MyBaseWindow* dialog = countdown();
    if (!dialog || !said.isEmpty()) return;
    said = dialog->FindControl<QLabel>("PowerOffText")->text();
    dialog->FindControl<QAbstractButton>("btnCancel")->click();
  });
  cancel.start(20);
  ClickBar("btn_transform");
  ASSERT_TRUE(WaitUntil([&] { return !said.isEmpty() && countdown() == nullptr; }));
  EXPECT_TRUE(said.contains("1")) << said.toStdString();
  EXPECT_EQ(poweredOff_, std::vector<std::string>{});

  // Converted again, the countdown runs out and the command goes to the shell.
  cancel.stop();
  realPowerOff_ = true;
  Click(RowOf(frame_->Items(ConvertKind::Audio)[0]), "btn_re_recode");
  ASSERT_TRUE(WaitUntil([&] { return !poweredOff_.empty(); }));
  EXPECT_EQ(poweredOff_, std::vector<std::string>{command});
  EXPECT_TRUE(WaitUntil([&] { return platform::FileExists(mark); }));
}

}  // namespace

namespace {

// The top window of a layout while it is shown, else null.
app::MyBaseWindow* Shown(const QString& layout) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<app::MyBaseWindow*>(w);
    if (window && window->isVisible() && window->LayoutFile() == layout) return window;
  }
  return nullptr;
}

TEST_F(ConversionTest, AMergeJoinsItsPartsInTheOrderOfTheRowsAfterTheLastPart) {
  // Shutting down when done waits for the join.
  const std::string command = "touch '" + path("powered-off") + "'";
  platform::ProfileWriteString(app::Settings().installFile, "Config", "PowerOffCommand", command);
  platform::ProfileWriteString(app::Settings().installFile, "Config", "PowerOffDelay", "1");
  Control<QAbstractButton>("ckb_poweroff")->setChecked(true);
  ClickBar("optConverMerge");
  frame_->AddFiles({Clip("p1.mp4", 1), Clip("p2.mp4", 2)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Merge));
  const auto first = frame_->Items(ConvertKind::Merge)[0];
  // The first row goes down: the parts swap.
  Click(RowOf(first), "btn_down_video");
  EXPECT_EQ(frame_->Items(ConvertKind::Merge)[1], first);
  EXPECT_EQ(frame_->List(ConvertKind::Merge)->IndexOf(RowOf(first)), 1);
  Click(RowOf(first), "btn_down_video");  // the last row stays last
  EXPECT_EQ(frame_->Items(ConvertKind::Merge)[1], first);

  // Watch for the merge dialog: it opens only once both parts are done.
  bool dialogSeen = false, partsDoneThen = true;
  size_t powerOffsBefore = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (dialogSeen || !Shown("dlg_merge.xml")) return;
    dialogSeen = true;
    powerOffsBefore = poweredOff_.size();
    for (const auto& item : frame_->Items(ConvertKind::Merge))
      partsDoneThen = partsDoneThen && item->state.load() == ItemState::Done;
  });
  watch.start(10);
  QString text;
  AnswerNextBox(app::kIdNo, &text);
  ClickBar("btn_transform");
  ASSERT_TRUE(WaitUntil([&] { return !text.isEmpty(); }));
  EXPECT_TRUE(dialogSeen);
  EXPECT_TRUE(partsDoneThen);
  EXPECT_EQ(powerOffsBefore, 0u);
  EXPECT_EQ(text.toStdString(), app::LangText("TransformSuccess", "Message"));
  ASSERT_TRUE(WaitUntil([&] { return !poweredOff_.empty(); }));
  EXPECT_EQ(poweredOff_, std::vector<std::string>{command});
  const auto files = Entries(OutputFolder());
  ASSERT_EQ(files.size(), 1u);
  const std::string merged = platform::FileNameOf(files[0]);
  EXPECT_EQ(merged.rfind(app::LangText("MergeFileName", "Text"), 0), 0u);
  // The parts' rows stand for the joined file: its name, and play opens it.
  for (const auto& item : frame_->Items(ConvertKind::Merge)) {
    EXPECT_EQ(Text(RowOf(item), "edit_new_video_name"), merged.substr(0, merged.rfind('.')));
    ASSERT_TRUE(Shown(RowOf(item), "btn_play_video"));
    opened_.clear();
    Click(RowOf(item), "btn_play_video");
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(QUrl(opened_[0]).toLocalFile().toStdString(), files[0]);
  }
}

// The merge dialog follows the session's join: it shows the progress, and
// every way of closing it stops the join at once with nothing left and no
// box; the parts stay done, and a join that cannot run says why.
TEST_F(ConversionTest, TheMergeDialogShowsTheJoinAndClosingItStopsTheJoin) {
  ClickBar("optConverMerge");
  frame_->AddFiles({Clip("p1.mp4", 8), Clip("p2.mp4", 8)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Merge));
  // Joins read their parts at their own speed, so that each runs for
  // seconds, whatever the machine. The engine's workers are idle: PATH may
  // change; it is put back before the window goes.
  const std::string bin = path("bin");
  platform::CreateFolders(bin);
  testsupport::WriteText(bin + "/ffmpeg", "#!/bin/sh\n"
                                          "case \" $* \" in *\" concat \"*) set -- -re \"$@\";; esac\n"
                                          "exec '" + testsupport::FfmpegPath() + "' \"$@\"\n");
  chmod((bin + "/ffmpeg").c_str(), 0755);
  const std::string oldPath = getenv("PATH");
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  struct PutBack {
    std::string path;
    ~PutBack() { setenv("PATH", path.c_str(), 1); }
  } putBack{oldPath};
  struct Way {
    const char* name;
    std::function<void(app::MyBaseWindow*)> close;
  };
  auto click = [](const char* button) {
    return [button](app::MyBaseWindow* d) { d->FindControl<QAbstractButton>(button)->click(); };
  };
  const Way ways[] = {
      {"btnStop", click("btnStop")},
      {"btnClose", click("btnClose")},
      {"Escape",
       [](app::MyBaseWindow* d) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(d, &escape);
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    // The dialog runs its own loop: the test acts from a timer, once the
    // bar shows the join under way.
    bool acted = false, endedAtOnce = false;
    int shownThen = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      app::MyBaseWindow* dialog = Shown("dlg_merge.xml");
      if (acted || !dialog) return;
      const int value = dialog->FindControl<QProgressBar>("progressMerge")->value();
      if (value <= 0) return;
      acted = true;
      shownThen = value;
      way.close(dialog);
      endedAtOnce = !frame_->session().MergeRunning() && Entries(OutputFolder()).empty();
    });
    watch.start(10);
    ClickBar("btn_transform");
    // A joined file under its own name: the join ended before the timer acted.
    auto joined = [&] {
      for (const std::string& entry : Entries(OutputFolder()))
        if (platform::FileNameOf(entry)[0] != '.') return true;
      return false;
    };
    ASSERT_TRUE(WaitUntil([&] { return acted || joined(); }));
    ASSERT_TRUE(acted) << "the join ended before it could be stopped";
    EXPECT_GT(shownThen, 0);
    EXPECT_LT(shownThen, 100);
    EXPECT_TRUE(endedAtOnce);
    EXPECT_TRUE(WaitUntil([&] { return !Shown("dlg_merge.xml"); }));
    QApplication::processEvents();
    EXPECT_TRUE(Entries(OutputFolder()).empty());
    for (const auto& item : frame_->Items(ConvertKind::Merge))
      EXPECT_EQ(item->state.load(), ItemState::Done);
  }

  // A part gone: the join fails and the box names it.
  const auto items = frame_->Items(ConvertKind::Merge);
  const std::string gone = items[0]->outputPath;
  ASSERT_TRUE(platform::DeleteFile(gone));
  QString text;
  AnswerNextBox(app::kIdOk, &text);
  ClickBar("btn_transform");
  ASSERT_TRUE(WaitUntil([&] { return !text.isEmpty(); }));
  EXPECT_NE(text.toStdString().find(gone), std::string::npos) << text.toStdString();
  EXPECT_TRUE(Entries(OutputFolder()).empty());
}

TEST_F(ConversionTest, AFailedMergePartSaysSoAndPutsTheLaterPartsBack) {
  ClickBar("optConverMerge");
  frame_->AddFiles({Clip("p1.mp4", 1), Clip("p2.mp4", 1), Clip("p3.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Merge));
  const auto items = frame_->Items(ConvertKind::Merge);
  platform::DeleteFile(items[1]->sourcePath);
  QString text;
  AnswerNextBox(app::kIdOk, &text);
  ClickBar("btn_transform");
  ASSERT_TRUE(WaitUntil([&] { return !text.isEmpty(); }));
  EXPECT_EQ(text.toStdString(), app::LangText("MergeError2", "Message"));
  // The first part's success may come after the notice.
  EXPECT_TRUE(WaitUntil([&] { return items[0]->state.load() == ItemState::Done; }));
  EXPECT_EQ(items[1]->state.load(), ItemState::Failed);
  EXPECT_EQ(items[2]->state.load(), ItemState::Idle);
  EXPECT_TRUE(Shown(RowOf(items[2]), "layUpVideo1"));
  EXPECT_EQ(Shown("dlg_merge.xml"), nullptr);
  EXPECT_TRUE(Entries(OutputFolder()).empty());
  // A format change of the merge list puts every part back at rest.
  frame_->ApplyFormatChoice("menuex2_mkv_dvd");
  for (const auto& item : items) EXPECT_EQ(item->state.load(), ItemState::Idle);
  EXPECT_EQ(Text(RowOf(items[0]), "codec_type_new"), "MKV");
}

// The transcoders this process started that are still alive.
int LiveTranscoders() {
  int count = 0;
  const std::string self = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat;
    if (!platform::ReadFile(entry.path().string() + "/stat", &stat, 4096)) continue;
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size())
      continue;
    std::istringstream rest(stat.substr(close + 2));
    std::string state, parent;
    rest >> state >> parent;
    count += stat.substr(open + 1, close - open - 1) == "ffmpeg" && parent == self && state != "Z";
  }
  return count;
}

TEST_F(ConversionTest, ClosingWithYesToEachBusyListStopsTheQueueAndLeavesNoPartialFile) {
  const auto gif = StartSlowGif()[0];
  const std::string output = OutputFolder();
  ClickBar("optConverVideo");
  frame_->AddFiles({Clip("queued.mp4", 1)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const auto queued = frame_->Items(ConvertKind::Video)[0];
  ClickBar("btn_transform");  // waits behind the GIF
  ASSERT_EQ(queued->state.load(), ItemState::Queued);
  ASSERT_EQ(LiveTranscoders(), 1);

  // Two busy lists: two questions, and only two.
  QString first, second;
  AnswerNextBox(app::kIdYes, &first);
  AnswerNextBox(app::kIdYes, &second);
  ClickBar("btnClose");
  EXPECT_EQ(first.toStdString(), app::LangText("ConfirmClose", "Message"));
  EXPECT_EQ(second.toStdString(), app::LangText("ConfirmClose", "Message"));
  EXPECT_FALSE(frame_->isVisible());

  // The program ends with its window: the queue stops and the unfinished
  // output goes.
  delete frame_;
  frame_ = nullptr;
  EXPECT_EQ(LiveTranscoders(), 0);
  EXPECT_NE(gif->state.load(), ItemState::Done);
  EXPECT_NE(gif->state.load(), ItemState::Converting);
  EXPECT_NE(queued->state.load(), ItemState::Done);
  EXPECT_NE(queued->state.load(), ItemState::Converting);
  EXPECT_EQ(Entries(output), std::vector<std::string>{});
}

// The clip editor from a row: what is accepted there is what the next
// conversion keeps; what is cancelled changes nothing.
TEST_F(ConversionTest, TheClipEditorsRangeAndCropReachTheOutput) {
  frame_->AddFiles({Clip("clip.mp4", 6.0)});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const engine::ItemPtr item = frame_->Items(ConvertKind::Video)[0];
  QWidget* row = RowOf(item);
  ASSERT_TRUE(Shown(row, "btn_clip_video"));

  // A crop of odd width whose even rounding would pass the right edge.
  EditClip(row,
           {{"edtStartTime", "00:00:01"}, {"edtEndTime", "00:00:04"}, {"edtPosX", "161"},
            {"edtWidth", "159"}, {"edtHeight", "119"}},
           true, "btnOK");
  EXPECT_EQ(item->trimStart, 1);
  EXPECT_EQ(item->trimEnd, 4);
  EXPECT_EQ(item->cropX, 161);
  EXPECT_EQ(item->cropWidth, 158);
  EXPECT_EQ(item->cropHeight, 120);
  EXPECT_FALSE(item->keepRatio);
  EXPECT_TRUE(Shown(row, "layNewDuration2"));
  EXPECT_FALSE(Shown(row, "layNewDuration1"));
  EXPECT_EQ(Text(row, "video_duration_new2"), "00:00:01 - 00:00:04");

  EditClip(row, {{"edtStartTime", "00:00:02"}, {"edtWidth", "40"}}, false, "btnCancel");
  EXPECT_EQ(item->trimStart, 1);
  EXPECT_EQ(item->cropWidth, 158);

  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  ASSERT_EQ(item->state.load(), ItemState::Done) << item->failureReason;
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(item->outputPath, info).usable);
  EXPECT_EQ(info.width, 158);
  EXPECT_EQ(info.height, 120);
  EXPECT_GE(info.durationSeconds, 2);
  EXPECT_LE(info.durationSeconds, 3);
}

// A phone's portrait clip opens upright in the editor, and the rectangle
// drawn there is the one the output keeps: the stored picture's red top-left
// quarter shows, upright, at the top right.
TEST_F(ConversionTest, APortraitClipIsCroppedAsTheEditorShowsIt) {
  testsupport::MediaSpec spec = testsupport::Clip(2.0, 320, 240);
  spec.rotation = 90;
  spec.color = "blue";
  spec.corner = "red";
  const std::string phone = path("phone.mp4");
  ASSERT_EQ(testsupport::MakeMedia(phone, spec), "");
  frame_->AddFiles({phone});
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const engine::ItemPtr item = frame_->Items(ConvertKind::Video)[0];
  QWidget* row = RowOf(item);
  ASSERT_TRUE(Shown(row, "btn_clip_video"));

  std::string width, height;
  EditClip(row, {{"edtPosX", "130"}, {"edtPosY", "10"}, {"edtWidth", "100"}, {"edtHeight", "140"}},
           true, "btnOK", [&](CVideoPlayerDlg& dlg) {
             width = dlg.FindControl<QLineEdit>(QStringLiteral("edtWidth"))->text().toStdString();
             height = dlg.FindControl<QLineEdit>(QStringLiteral("edtHeight"))->text().toStdString();
           });
  EXPECT_EQ(width + "x" + height, "240x320");  // the whole upright picture
  EXPECT_EQ(item->cropX, 130);
  EXPECT_EQ(item->cropHeight, 140);

  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  ASSERT_EQ(item->state.load(), ItemState::Done) << item->failureReason;
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(item->outputPath, info).usable);
  EXPECT_EQ(info.width, 100);
  EXPECT_EQ(info.height, 140);
  EXPECT_EQ(info.rotation, 0);
  const std::vector<uint32_t> quarters = testsupport::Quarters(item->outputPath);
  ASSERT_EQ(quarters.size(), 4u);
  for (uint32_t q : quarters) EXPECT_TRUE(q >> 16 > 200 && (q & 0xff) < 60) << std::hex << q;
}

// A cache file dropped on the window converts like any other, without the
// clip button that needs its length before the chain ran.
TEST_F(ConversionTest, ADroppedCacheFileConvertsLikeAnyOther) {
  const std::string flv = path("inner.flv");
  testsupport::MediaSpec spec = testsupport::Clip(2.0, 320, 240);
  spec.videoCodec = "libx264";
  spec.audioCodec = "aac";
  ASSERT_EQ(testsupport::MakeMedia(flv, spec), "");
  const std::string kux = path("movie.kux");
  ASSERT_TRUE(cachefiles::WriteKux(kux, testsupport::ReadText(flv)));
  frame_->DropFiles({kux});
  ASSERT_EQ(frame_->Items(ConvertKind::Video).size(), 1u);
  ASSERT_TRUE(AllAnalysed(ConvertKind::Video));
  const engine::ItemPtr item = frame_->Items(ConvertKind::Video)[0];
  QApplication::processEvents();
  EXPECT_FALSE(Shown(RowOf(item), "layClipVideo1"));
  ClickBar("btn_transform");
  ASSERT_TRUE(AllEnded(ConvertKind::Video));
  ASSERT_EQ(item->state.load(), ItemState::Done) << item->failureReason;
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(item->outputPath, info).usable);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(Text(RowOf(item), "video_duration"), "00:00:02");  // the row learnt the length
}

}  // namespace
