// The main window: four lists of files, the list switcher, the output folder,
// the menus, and the engine's messages turned into rows.
#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ui/base_window.h"
#include "app/ui/popup_menu.h"
#include "engine/convert_queue.h"
#include "engine/messages.h"
#include "ui/list_rows.h"

namespace app {
class SkinList;
}

namespace ui {

class CMainFrame : public app::MyBaseWindow, public engine::NotifyTarget {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* owner = nullptr);
  ~CMainFrame() override;

  QString WindowClassName() const override;
  QString LayoutFile() const override;

  // Engine messages: queued for the window's thread. A send waits until the
  // window has handled it, the sender is stopped, or the window closes.
  void post(int msg, void* wParam, intptr_t lParam) override;
  void send(int msg, void* wParam, intptr_t lParam, const std::atomic<bool>* cancel) override;

  // Files into the shown list (cache files only into the video and GIF lists).
  void AddFiles(const std::vector<std::string>& paths);
  // Dropped files: only those the pattern list names; none taken → "NoSupport".
  void DropFiles(const std::vector<std::string>& paths);
  // Files the program was opened with: into the video list, as a drop.
  void OpenFiles(const std::vector<std::string>& paths);

  engine::ConvertKind currentList() const { return currentList_; }
  app::SkinList* List(engine::ConvertKind kind) const;
  const std::vector<engine::ItemPtr>& Items(engine::ConvertKind kind) const;
  ListChoice Choice(engine::ConvertKind kind) const;
  QString OutputFolder() const;

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
  void AddFilesByDialog();
  bool ConfirmClose();
  void OpenMainMenu();
  void OnMenuCommand(const app::MenuCommand& command);
  void HandleEngineMessage(int msg, void* wParam, intptr_t lParam);
  int Ask(const char* key, bool question);

  engine::ConvertKind currentList_ = engine::ConvertKind::Video;
  std::array<ListChoice, 4> choices_;
  std::array<app::SkinList*, 4> lists_{};
  std::array<std::vector<engine::ItemPtr>, 4> items_;
  std::unique_ptr<engine::ConvertQueue> queue_;
  std::unique_ptr<app::PopupMenu> popupMenu_;
  bool tornDown_ = false;

  // Sent messages wait on this until the window's thread has handled them.
  std::mutex sendMutex_;
  std::condition_variable sendCv_;
  long long sendsHandled_ = 0;
  long long sendsIssued_ = 0;
  std::atomic<bool> closing_{false};
};

}  // namespace ui
