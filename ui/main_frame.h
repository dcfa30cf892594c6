// The main window: four lists of files, the list switcher, the output folder,
// the menus, and the engine's messages turned into rows.
#pragma once

#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/base_window.h"
#include "app/ui/popup_menu.h"
#include "engine/list_session.h"
#include "ui/list_rows.h"
#include "ui/main_window_rules.h"

namespace app {
class SkinList;
}

namespace ui {

class CMergeDlg;

class CMainFrame : public app::MyBaseWindow, private engine::SessionListener {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* owner = nullptr);
  ~CMainFrame() override;

  QString LayoutFile() const override;

  // Files into the shown list (cache files only into the video and GIF lists).
  void AddFiles(const std::vector<std::string>& paths);
  // Dropped files: only those the pattern list names; none taken → "NoSupport".
  void DropFiles(const std::vector<std::string>& paths);
  // Files the program was opened with: into the video list, as a drop.
  void OpenFiles(const std::vector<std::string>& paths);

  engine::ConvertKind currentList() const { return currentList_; }
  app::SkinList* List(engine::ConvertKind kind) const;
  const std::vector<engine::ItemPtr>& Items(engine::ConvertKind kind) const;
  engine::ListChoice Choice(engine::ConvertKind kind) const;
  QString OutputFolder() const;
  engine::ListSession& session() { return *session_; }

  // The conversion commands of the window, as its buttons call them.
  void StartList();
  void RequeueItem(QWidget* row);
  void StopItem(QWidget* row);
  void RemoveItem(QWidget* row);
  void ClearList();
  void ApplyFormatChoice(const QString& menuName);

  // The language menu's choice: reloads the texts when the language changes,
  // and stores it either way.
  void SwitchLanguage(int languageId);

  // Ends the queue first (conversions, covers), then empties the working
  // folders. Runs once, at the latest when the window is destroyed.
  void Teardown();

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  bool ResponseDefaultKeyEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void OnClick(const app::Notification& n);
  void SwitchList(engine::ConvertKind kind);
  void ShowEmptyState();
  void RefreshTitle();
  void RefreshFormatLabel();
  void InitOutputFolder();
  void ChooseOutputFolder();
  void OpenOutputFolder(QWidget* sender);
  // Opens a file, folder or web address with the desktop's program; when
  // none can, says so by name ("NoProgram") and returns false.
  bool OpenWithDesktop(const QString& address);
  void OpenHelp();
  void AddFilesByDialog();
  // One message for the files a list did not take, by name.
  void TellNotTaken(const SortedFiles& files);
  bool ConfirmClose();
  void OpenMainMenu();
  void OnMenuCommand(const app::MenuCommand& command);
  void OpenFormatMenu();
  void OpenSettings();
  int Ask(const std::string& key, bool question);
  std::string OutputFolderForStart();
  bool ReportStart(engine::StartResult result);
  void ToggleRename(QWidget* row);
  void FinishRename(QWidget* edit);
  void PlayResult(QWidget* row);
  void ClipItem(QWidget* row);
  void MoveRow(QWidget* row, int delta);
  // Shows the join in the merge dialog while it runs, then how it ended.
  void RunMerge();
  void RefreshTimeLeft();
  // What a row says of its place among the others: that another file has
  // its output name, and a merge part's arrows at either end; once per turn
  // of the event loop, however many changes asked.
  void ScheduleRowHints();
  void RefreshRowHints();
  engine::ItemPtr ItemPtrOfRow(QWidget* row) const;

  // What the list session reports, on the window's thread.
  void OnItemInfo(engine::VideoItem& item) override;
  void OnItemChanged(engine::VideoItem& item) override;
  void OnProgress(engine::VideoItem& item, int percent) override;
  void OnItemDone(engine::VideoItem& item) override;
  void OnItemFailed(engine::VideoItem& item, bool startFailed) override;
  void OnMergeStarted(const engine::MergeRequest& request) override;
  void OnMergeProgress(int percent) override;
  void OnMergeEnded(const engine::MergeOutcome& outcome) override;
  void OnMergePartFailed() override;
  void OnChoiceReset(engine::ConvertKind list, const std::string& why) override;
  void OnRunEnded(const engine::RunSummary& summary) override;

  engine::ConvertKind currentList_ = engine::ConvertKind::Video;
  std::array<app::SkinList*, 4> lists_{};
  std::unique_ptr<engine::ListSession> session_;
  std::unique_ptr<app::PopupMenu> popupMenu_;
  CMergeDlg* mergeDlg_ = nullptr;  // while it is shown
  engine::MergeOutcome mergeOutcome_;     // the last join's
  bool tornDown_ = false;
  bool rowHintsDue_ = false;
  bool closing_ = false;
};

}  // namespace ui
