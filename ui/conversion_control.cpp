// The main window's conversion commands and what it shows of the engine's
// work: every rule lives in the list session; here buttons become session
// verbs and the session's reports become rows, boxes and the power-off.
#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/message_text.h"
#include "app/core/run_log.h"
#include "app/ui/shell.h"
#include "app/ui/skin_controls.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui/clip_editor/video_player_dlg.h"
#include "ui/list_rows.h"
#include "ui/main_frame.h"
#include "ui/merge_dlg.h"
#include "ui/message_dlg.h"
#include "ui/power_off_dlg.h"

namespace ui {

using engine::ConvertKind;
using engine::ItemState;
using engine::StartResult;
using engine::VideoItem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A localized message of section "Message" with its one "%s" filled in.
QString MessageWith(const std::string& key, const std::string& value) {
  return Q(app::FillTextPlaceholder(app::LangText(key, app::kSectionMessage), value));
}

// The caption of the boxes that fill a name into their message.
QString ErrorCaption() { return Q(app::LangText(app::langkey::kError, app::kSectionMessage)); }

// "0:42", "12:05", "1:02:03".
std::string ClockText(int seconds) {
  const int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  return h > 0 ? platform::Format("%d:%02d:%02d", h, m, s) : platform::Format("%d:%02d", m, s);
}

QString TimeLeftText(int seconds) {
  if (seconds < 0) return QString();
  return Q(app::FillTextPlaceholder(app::LangText(app::langkey::kTimeLeft, app::kSectionText), ClockText(seconds)));
}

}  // namespace

// --- commands --------------------------------------------------------------

std::string CMainFrame::OutputFolderForStart() {
  return platform::WithTrailingSlash(OutputFolder().trimmed().toStdString());
}

bool CMainFrame::ReportStart(StartResult result) {
  switch (result) {
    case StartResult::NeedTwoParts:
      Ask(app::langkey::kMergeNeed2Video, false);
      return false;
    case StartResult::FolderFailed:
      MessageBoxText(this, MessageWith(app::langkey::kFolderFailed, OutputFolderForStart()),
                     ErrorCaption(), kMbIconError);
      return false;
    case StartResult::FolderReadOnly:
      MessageBoxText(this, MessageWith(app::langkey::kFolderReadOnly, OutputFolderForStart()),
                     ErrorCaption(), kMbIconError);
      return false;
    default:
      RefreshTimeLeft();
      return true;
  }
}

void CMainFrame::StartList() {
  ReportStart(session_->StartList(currentList_, OutputFolderForStart()));
}

void CMainFrame::RequeueItem(QWidget* row) {
  if (engine::ItemPtr item = ItemPtrOfRow(row))
    ReportStart(session_->RequeueItem(item, OutputFolderForStart()));
}

void CMainFrame::StopItem(QWidget* row) {
  engine::ItemPtr item = ItemPtrOfRow(row);
  if (!item || Ask(app::DecodeBase64(app::langkey::kConfirmStopB64).c_str(), true) == app::kIdNo) return;
  // The answer took a while: an item that finished meanwhile stays as it is.
  session_->StopItem(item);
  UpdateRowState(row, *item);
  RefreshTimeLeft();
}

void CMainFrame::RemoveItem(QWidget* row) {
  app::SkinList* list = lists_[static_cast<int>(currentList_)];
  engine::ItemPtr item = ItemPtrOfRow(row);
  if (!list || !item) return;
  const int answer = MessageBoxText(this, MessageWith(app::DecodeBase64(app::langkey::kRemoveVideoB64), item->title),
                                    MessageCaption(MessageKind::kQuestion), kMbYesNo | kMbIconQuestion);
  if (answer == app::kIdNo) return;
  session_->RemoveItem(item);
  item->listItem = nullptr;
  list->Remove(row);
  ShowEmptyState();
  RefreshTimeLeft();
  ScheduleRowHints();
}

void CMainFrame::ClearList() {
  app::SkinList* list = lists_[static_cast<int>(currentList_)];
  if (!list || list->Count() == 0) return;
  // Clearing stops what converts: the question says so then.
  const std::string question = session_->Busy(currentList_)
                                   ? std::string(app::langkey::kClearRunning)
                                   : app::DecodeBase64(app::langkey::kClearVideoB64);
  if (Ask(question, true) == app::kIdNo) return;
  for (const engine::ItemPtr& item : session_->Items(currentList_)) item->listItem = nullptr;
  session_->ClearList(currentList_);
  list->RemoveAll();
  ShowEmptyState();
  RefreshTimeLeft();
}

// --- row actions -----------------------------------------------------------

void CMainFrame::ToggleRename(QWidget* row) {
  auto* edit = app::FindControl<QLineEdit>(row, "edit_new_video_name");
  if (!edit) return;
  if (edit->isEnabled()) {
    FinishRename(edit);  // the pencil commits as Return does
    return;
  }
  // Return commits; Escape gives the old name back and ends editing. Wired
  // once per edit: its row keeps it.
  struct EscapeRestores : QObject {
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
      auto* e = qobject_cast<QLineEdit*>(watched);
      if (!e || !e->isEnabled() || event->type() != QEvent::KeyPress ||
          static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
        return false;
      if (const VideoItem* item = ItemOfRow(app::SkinList::RowOf(e)))
        e->setText(Q(item->outputName));
      e->setEnabled(false);  // its lost focus finds the name unchanged
      return true;
    }
  };
  if (!edit->property("renameKeys").toBool()) {
    edit->setProperty("renameKeys", true);
    edit->installEventFilter(new EscapeRestores(edit));
    connect(edit, &QLineEdit::returnPressed, this, [this, edit] { FinishRename(edit); });
  }
  edit->setEnabled(true);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void CMainFrame::FinishRename(QWidget* control) {
  auto* edit = qobject_cast<QLineEdit*>(control);
  VideoItem* item = ItemOfRow(app::SkinList::RowOf(control));
  // Only an edit being edited commits; disabling it first makes the focus it
  // loses on the way find it finished.
  if (!edit || !item || !edit->isEnabled()) return;
  edit->setEnabled(false);
  const std::string name = edit->text().trimmed().toStdString();
  const ItemState s = item->state.load();
  // An item that began converting meanwhile keeps the name its job uses.
  const bool busy = s == ItemState::Queued || s == ItemState::Converting;
  std::string error;
  if (!busy && name != item->outputName && !name.empty() &&
      !session_->RenameItem(*item, name, &error)) {
    edit->setText(Q(item->outputName));
    MessageBoxText(this, MessageWith(app::langkey::kBadName, name), ErrorCaption(),
                   kMbIconError);
    return;
  }
  edit->setText(Q(item->outputName));
  ScheduleRowHints();
}

void CMainFrame::PlayResult(QWidget* row) {
  VideoItem* item = ItemOfRow(row);
  const std::string result = item ? RowResult(row, *item) : std::string();
  if (result.empty() || !platform::FileExists(result)) return;
  OpenWithDesktop(QUrl::fromLocalFile(Q(result)).toString());
}

void CMainFrame::ClipItem(QWidget* row) {
  engine::ItemPtr item = ItemPtrOfRow(row);
  if (!item || !session_->CanClip(*item)) return;
  // The editor shows the picture upright; its rectangle is one of that picture.
  CVideoPlayerDlg editor(this, item->sourcePath, item->durationSeconds, item->DisplayWidth(),
                         item->DisplayHeight());
  const engine::ItemClip before = engine::ClipOf(*item);
  editor.trimStart = before.trimStart;
  editor.trimEnd = before.trimEnd;
  editor.cropX = before.cropX;
  editor.cropY = before.cropY;
  editor.cropWidth = before.cropWidth;
  editor.cropHeight = before.cropHeight;
  editor.keepRatio = before.keepRatio;
  editor.ShowModal();
  if (!editor.accepted) return;
  const engine::ItemClip clip{editor.trimStart, editor.trimEnd,    editor.cropX,   editor.cropY,
                              editor.cropWidth, editor.cropHeight, editor.keepRatio};
  std::string why;
  // The editor keeps its values within the file; a refusal means the item
  // started meanwhile, and the old clip stays.
  if (!session_->SetClip(*item, clip, &why)) app::RunLog("clip refused: %s", why.c_str());
  ShowKeptRange(row, *item);
}

void CMainFrame::MoveRow(QWidget* row, int delta) {
  app::SkinList* list = lists_[static_cast<int>(ConvertKind::Merge)];
  engine::ItemPtr item = ItemPtrOfRow(row);
  if (!list || !item || list->IndexOf(row) < 0) return;
  if (session_->MoveItem(item, delta)) list->Move(row, list->IndexOf(row) + delta);
  ScheduleRowHints();
}

// --- what the session reports ----------------------------------------------

void CMainFrame::OnItemInfo(VideoItem& item) { RefreshRowInfo(&item); }

void CMainFrame::OnItemChanged(VideoItem& item) {
  auto* row = static_cast<QWidget*>(item.listItem);
  if (!row) return;
  ScheduleRowHints();
  ShowOutputChoice(row, item);
  UpdateRowState(row, item);
  // A start reports every row it queued and then sums up once; only an item
  // leaving the queue changes the list's time left here.
  const ItemState s = item.state.load();
  if (s != ItemState::Queued && s != ItemState::Converting) RefreshTimeLeft();
}

void CMainFrame::OnProgress(VideoItem& item, int percent) {
  auto* row = static_cast<QWidget*>(item.listItem);
  if (!row) return;
  // The first report of a job: the row was waiting until now.
  if (auto* stop = app::FindControl(row, "btn_stop_recode"); stop && stop->isHidden())
    UpdateRowState(row, item);
  ShowProgress(row, percent);
  ShowRowStatus(row, item, TimeLeftText(session_->SecondsLeft(item)));
  RefreshTimeLeft();
}

void CMainFrame::OnItemDone(VideoItem& item) {
  if (auto* row = static_cast<QWidget*>(item.listItem)) {
    ShowProgress(row, 100);
    UpdateRowState(row, item, false);
  }
  ScheduleRowHints();  // its file now takes its name
  RefreshTimeLeft();
}

void CMainFrame::OnItemFailed(VideoItem& item, bool startFailed) {
  auto* row = static_cast<QWidget*>(item.listItem);
  if (!row) return;
  UpdateRowState(row, item, false);
  RefreshTimeLeft();
  if (startFailed) {
    const std::string name = item.title + "." + item.extension;
    MessageBoxText(this, MessageWith(app::DecodeBase64(app::langkey::kCannotRecodeB64), name),
                   ErrorCaption(), kMbIconError, false, true);
  }
}

void CMainFrame::OnMergePartFailed() {
  Ask(app::DecodeBase64(app::langkey::kMergeError2B64).c_str(), false);
  for (const engine::ItemPtr& item : session_->Items(ConvertKind::Merge))
    if (auto* row = static_cast<QWidget*>(item->listItem)) UpdateRowState(row, *item, false);
}

void CMainFrame::OnChoiceReset(ConvertKind list, const std::string& why) {
  if (list == currentList_) RefreshFormatLabel();
  const std::string size = engine::PresetLabel(session_->Choice(list).format,
                                               session_->Choice(list).preset, "");
  MessageBoxText(this,
                 Q("The parts cannot be joined as they are: " + why + ".\nThey will be converted to " +
                   size + " first."),
                 Q(app::LangText(app::langkey::kTitle, app::kSectionMessage)), kMbIconInformation);
}

void CMainFrame::OnMergeStarted(const engine::MergeRequest&) {
  // The dialog runs its own loop: open it once this report has returned.
  QTimer::singleShot(0, this, [this] { RunMerge(); });
}

void CMainFrame::OnMergeProgress(int percent) {
  if (mergeDlg_) mergeDlg_->ShowPercent(percent);
}

void CMainFrame::OnMergeEnded(const engine::MergeOutcome& outcome) {
  mergeOutcome_ = outcome;
  // The parts' rows stand for the joined file now, or for none.
  for (const engine::ItemPtr& item : session_->Items(ConvertKind::Merge))
    if (auto* row = static_cast<QWidget*>(item->listItem))
      ShowMergedFile(row, *item, outcome.end == engine::MergeOutcome::End::Done ? outcome.outputPath : "");
  if (mergeDlg_) mergeDlg_->JoinEnded(outcome.end == engine::MergeOutcome::End::Done);
}

void CMainFrame::OnRunEnded(const engine::RunSummary& summary) {
  auto* powerOff = FindControl<QAbstractButton>(QStringLiteral("ckb_poweroff"));
  if (!powerOff || !powerOff->isChecked() || closing_) return;
  if (!summary.Succeeded()) {
    // Nothing made (all stopped) is the user's own doing; a failure is news.
    if (summary.failed.empty()) return;
    std::string names;
    for (const std::string& name : summary.failed) names += (names.empty() ? "" : "\n") + name;
    app::RunLog("power-off skipped: %zu failed", summary.failed.size());
    MessageBoxText(this, MessageWith(app::langkey::kPowerOffKept, names),
                   Q(app::LangText(app::langkey::kTitle, app::kSectionMessage)), kMbIconInformation);
    return;
  }
  // The dialog runs its own loop: open it once this report has returned.
  QTimer::singleShot(0, this, [this] {
    CPowerOffDlg countdown(this, app::Settings().PowerOffSeconds());
    countdown.ShowModal();
    if (!countdown.confirmed()) {
      app::RunLog("power-off cancelled");
      return;
    }
    app::RunPowerOff(app::Settings().PowerOffCommand());
  });
}

void CMainFrame::ScheduleRowHints() {
  if (rowHintsDue_) return;
  rowHintsDue_ = true;
  QTimer::singleShot(0, this, [this] { RefreshRowHints(); });
}

void CMainFrame::RefreshRowHints() {
  rowHintsDue_ = false;
  if (!session_ || tornDown_) return;
  const std::string folder = OutputFolderForStart();
  const std::vector<engine::ItemPtr>& items = session_->Items(currentList_);
  for (size_t i = 0; i < items.size(); ++i) {
    auto* row = static_cast<QWidget*>(items[i]->listItem);
    if (!row) continue;
    ShowNameTaken(row, *items[i], session_->NameTaken(*items[i], folder));
    if (QWidget* up = app::FindControl(row, "btn_up_video")) up->setEnabled(i > 0);
    if (QWidget* down = app::FindControl(row, "btn_down_video")) down->setEnabled(i + 1 < items.size());
  }
}

void CMainFrame::RefreshTimeLeft() {
  auto* label = FindControl<QLabel>(QStringLiteral("lab_time_left"));
  if (!label || !session_) return;
  const QString text = session_->Busy(currentList_)
                           ? TimeLeftText(session_->ListSecondsLeft(currentList_))
                           : QString();
  label->setText(text);
  label->setVisible(!text.isEmpty());
}

}  // namespace ui
