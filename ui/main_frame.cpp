#include "ui/main_frame.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCursor>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/message_text.h"
#include "app/core/oem_config.h"
#include "app/core/server_config.h"
#include "app/ui/layout.h"
#include "app/ui/shell.h"
#include "app/ui/skin_controls.h"
#include "app/ui/skin_text.h"
#include "engine/video_item.h"
#include "platform/files.h"
#include "ui/about_dlg.h"
#include "ui/main_window_rules.h"
#include "ui/message_dlg.h"

namespace ui {

using engine::ConvertKind;
using engine::ItemState;
using engine::VideoItem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

const char* const kListNames[] = {"listVideo", "listAudio", "listGif", "listMerge"};
const char* const kListOptions[] = {"optConverVideo", "optConverAudio", "optConverGif",
                                    "optConverMerge"};

int KindIndex(ConvertKind k) { return static_cast<int>(k); }

}  // namespace

CMainFrame::CMainFrame(QWidget* owner) : MyBaseWindow(owner, Kind::kMainWindow) {
  // Workers only wake the window; their messages are handled on its thread.
  session_ = std::make_unique<engine::ListSession>(
      static_cast<engine::SessionListener*>(this), engine::EngineDirs::ForApp(app::Paths()), [this] {
        QMetaObject::invokeMethod(
            this, [this] { if (session_) session_->Drain(); }, Qt::QueuedConnection);
      });
  setAcceptDrops(true);
}

CMainFrame::~CMainFrame() { Teardown(); }

QString CMainFrame::LayoutFile() const { return QStringLiteral("skin.xml"); }

app::SkinList* CMainFrame::List(ConvertKind kind) const { return lists_[KindIndex(kind)]; }

const std::vector<engine::ItemPtr>& CMainFrame::Items(ConvertKind kind) const {
  return session_->Items(kind);
}

engine::ListChoice CMainFrame::Choice(ConvertKind kind) const { return session_->Choice(kind); }

QString CMainFrame::OutputFolder() const {
  auto* edit = FindControl<QLineEdit>(QStringLiteral("edit_output_path"));
  return edit ? edit->text() : QString();
}

engine::ItemPtr CMainFrame::ItemPtrOfRow(QWidget* row) const {
  return session_ ? session_->Find(ItemOfRow(row)) : nullptr;
}

// --- set-up ----------------------------------------------------------------

void CMainFrame::OnLayoutReady(const app::Notification& n) {
  MyBaseWindow::OnLayoutReady(n);
  for (int k = 0; k < 4; ++k) lists_[k] = FindControl<app::SkinList>(kListNames[k]);
  RefreshTitle();
  if (QWidget* toolbox = FindControl(QStringLiteral("LayoutToolbox"))) toolbox->hide();

  // The help page waits for the help button or menu: a first start opens nothing.
  InitOutputFolder();
  SwitchList(ConvertKind::Video);
}

void CMainFrame::RefreshTitle() {
  std::string title = MainWindowTitle(app::Oem().titleText, app::LangText(app::langkey::kProductName, app::kSectionText),
                                      app::Paths().versionText,
                                      app::OemConfig::ShowVersion(app::Paths()));
  if (auto* label = FindControl<QLabel>(QStringLiteral("TitleText"))) label->setText(Q(title));
  setWindowTitle(Q(title).trimmed());
  if (!app::Oem().titleLogo.empty()) {
    QString image = Q(app::Oem().titleLogo);
    if (auto* logo = FindControl<app::SkinLabel>(QStringLiteral("TitleLogo"))) logo->setBkimage(image);
    else if (auto* frame = FindControl<app::SkinFrame>(QStringLiteral("TitleLogo")))
      frame->setBkimage(image);
  }
}

void CMainFrame::InitOutputFolder() {
  std::string folder = app::ReadOutputPath(app::Paths());
  if (folder.empty()) folder = app::DefaultOutputFolder();
  platform::CreateFolders(folder);
  if (auto* edit = FindControl<QLineEdit>(QStringLiteral("edit_output_path"))) {
    edit->setText(Q(folder));
    connect(edit, &QLineEdit::textChanged, this, [this] { ScheduleRowHints(); });
  }
}

// --- events ----------------------------------------------------------------

void CMainFrame::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type == app::notify::kClick) {
    OnClick(n);
  } else if (n.type == app::notify::kKillFocus && n.sender == "edit_new_video_name") {
    FinishRename(n.control);
  } else if (n.type == app::notify::kSelectChanged && n.value.toBool()) {
    for (int k = 0; k < 4; ++k)
      if (n.sender == kListOptions[k]) SwitchList(static_cast<ConvertKind>(k));
  }
}

void CMainFrame::OnClick(const app::Notification& n) {
  const QString& name = n.sender;
  if (name == "btnClose") {
    if (ConfirmClose()) Close(0);
  } else if (name == "btnMax" || name == "btnRestore") {
    const bool maximize = name == "btnMax";
    maximize ? showMaximized() : showNormal();
    if (QWidget* max = FindControl(QStringLiteral("btnMax"))) max->setVisible(!maximize);
    if (QWidget* restore = FindControl(QStringLiteral("btnRestore"))) restore->setVisible(maximize);
  } else if (name == "btnMin") {
    showMinimized();
  } else if (name == "btnMenu") {
    OpenMainMenu();
  } else if (name == "btnKefu" || name == "btn_recode_fail") {
    OpenHelp();
  } else if (name == "btn_addfile01" || name == "btn_addfile02") {
    AddFilesByDialog();
  } else if (name == "btn_select_folder") {
    ChooseOutputFolder();
  } else if (name == "btn_open_save_folder" || name == "btn_open_video_folder") {
    OpenOutputFolder(n.control);
  } else if (name == "btn_menu_format") {
    OpenFormatMenu();
  } else if (name == "btn_transform") {
    StartList();
  } else if (name == "btn_clear_list") {
    ClearList();
  } else {
    // The buttons of a row act on the row that holds them.
    QWidget* row = app::SkinList::RowOf(n.control);
    if (!row) return;
    if (name == "btn_re_recode") RequeueItem(row);
    else if (name == "btn_stop_recode") StopItem(row);
    else if (name == "btn_del_video") RemoveItem(row);
    else if (name == "btn_video_rename") ToggleRename(row);
    else if (name == "btn_play_video") PlayResult(row);
    else if (name == "btn_clip_video") ClipItem(row);
    else if (name == "btn_up_video") MoveRow(row, -1);
    else if (name == "btn_down_video") MoveRow(row, +1);
  }
}

bool CMainFrame::ResponseDefaultKeyEvent(QKeyEvent* event) {
  // Escape never closes the main window; every other key goes on.
  return event->key() == Qt::Key_Escape;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A close from the desktop asks like the close button does.
  if (!closing_ && !ConfirmClose()) {
    event->ignore();
    return;
  }
  closing_ = true;
  MyBaseWindow::closeEvent(event);
}

bool CMainFrame::ConfirmClose() {
  // At most one question per list that has work queued or running.
  for (int k = 0; k < 4; ++k)
    if (session_->Busy(static_cast<ConvertKind>(k)) && Ask(app::DecodeBase64(app::langkey::kConfirmCloseB64), true) != app::kIdYes)
      return false;
  closing_ = true;
  return true;
}

int CMainFrame::Ask(const std::string& key, bool question) {
  return question ? MessageBoxYesNo(key, this) : MessageBoxError(key, this);
}

// --- lists -----------------------------------------------------------------

void CMainFrame::SwitchList(ConvertKind kind) {
  const int k = KindIndex(kind);
  currentList_ = kind;
  for (const char* suffix : {"", "_Bottom"}) {
    if (auto* option = FindControl<QAbstractButton>(QString(kListOptions[k]) + suffix)) {
      QSignalBlocker quiet(option);
      option->setChecked(true);
    }
  }
  for (int i = 0; i < 4; ++i)
    if (lists_[i]) lists_[i]->setVisible(i == k);
  ShowEmptyState();
  if (auto* start = FindControl<QAbstractButton>(QStringLiteral("btn_transform")))
    start->setText(Q(app::LangText(StartButtonTextKey(kind), app::kSectionText)));
  RefreshFormatLabel();
  RefreshTimeLeft();
  ScheduleRowHints();
}

void CMainFrame::ShowEmptyState() {
  app::SkinList* list = lists_[KindIndex(currentList_)];
  const bool rows = list && list->Count() > 0;
  // The formats the shown list takes.
  if (auto* hint = FindControl<QLabel>(QStringLiteral("LabEmptyHint")))
    hint->setText(Q(app::LangText(currentList_ == ConvertKind::Audio ? app::langkey::kEmptyHintAudio
                                                                     : app::langkey::kEmptyHint,
                                  app::kSectionSkin)));
  if (QWidget* empty = FindControl(QStringLiteral("empty_frame"))) empty->setVisible(!rows);
  if (QWidget* full = FindControl(QStringLiteral("no_empty_frame"))) full->setVisible(rows);
}

void CMainFrame::RefreshFormatLabel() {
  const engine::ListChoice c = session_->Choice(currentList_);
  if (auto* button = FindControl<QAbstractButton>(QStringLiteral("btn_menu_format")))
    button->setText(
        Q(engine::FormatLabel(c.format, c.preset, app::LangText(app::langkey::kFormatOriginText, app::kSectionText))));
}

void CMainFrame::AddFiles(const std::vector<std::string>& paths) {
  app::SkinList* list = lists_[KindIndex(currentList_)];
  if (paths.empty() || !list) return;
  for (const engine::ItemPtr& item : session_->AddFiles(currentList_, paths))
    CreateListRow(list, item.get());
  ShowEmptyState();
  ScheduleRowHints();
}

void CMainFrame::DropFiles(const std::vector<std::string>& paths) {
  const SortedFiles files =
      SortFiles(currentList_, paths, app::ServerConfig(app::Paths()).SupportFormat2());
  AddFiles(files.taken);
  TellNotTaken(files);
}

void CMainFrame::TellNotTaken(const SortedFiles& files) {
  auto lines = [](const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "\n") + name;
    return text;
  };
  const QString title = Q(app::LangText(app::langkey::kTitle, app::kSectionMessage));
  if (!files.soundNames.empty())
    MessageBoxText(this, Q(app::FillTextPlaceholder(app::LangText(app::langkey::kSoundOnly, app::kSectionMessage),
                                                    lines(files.soundNames))),
                   title, kMbIconInformation);
  if (files.otherNames.empty()) return;
  if (files.taken.empty() && files.soundNames.empty()) {
    Ask(app::langkey::kNoSupport, false);
    return;
  }
  MessageBoxText(this, Q(app::FillTextPlaceholder(app::LangText(app::langkey::kNotAdded, app::kSectionMessage),
                                                  lines(files.otherNames))),
                 title, kMbIconInformation);
}

void CMainFrame::OpenFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  SwitchList(ConvertKind::Video);
  DropFiles(paths);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
  event->acceptProposedAction();
  DropFiles(paths);
}

void CMainFrame::AddFilesByDialog() {
  app::ServerConfig server(app::Paths());
  QString filter = Q(OpenFileFilter(app::LangText(app::langkey::kFilterVideo, app::kSectionText), server.SupportFormat1(),
                                    ListPatterns(currentList_, server.SupportFormat2())));
  // The folder files last came from, else the output folder.
  QString from = Q(app::ReadAddFolder(app::Paths()));
  if (from.isEmpty() || !QFileInfo(from).isDir()) from = OutputFolder();
  QStringList files = QFileDialog::getOpenFileNames(this, QString(), from, filter);
  if (files.isEmpty()) return;
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(S(f));
  app::WriteAddFolder(app::Paths(), platform::ParentDir(paths.front()));
  const SortedFiles sorted = SortFiles(currentList_, paths, server.SupportFormat2());
  AddFiles(sorted.taken);
  TellNotTaken(sorted);
}

// --- output folder ---------------------------------------------------------

void CMainFrame::ChooseOutputFolder() {
  QString folder = QFileDialog::getExistingDirectory(this, QString(), OutputFolder());
  if (folder.isEmpty()) return;
  std::string path = platform::WithTrailingSlash(S(folder));
  app::WriteOutputPath(app::Paths(), path);
  if (auto* edit = FindControl<QLineEdit>(QStringLiteral("edit_output_path")))
    edit->setText(Q(path));
}

void CMainFrame::OpenOutputFolder(QWidget* sender) {
  // A row's button shows its result selected in the file manager; the bar's
  // opens the output folder.
  QWidget* row = app::SkinList::RowOf(sender);
  VideoItem* item = ItemOfRow(row);
  const std::string result = item ? RowResult(row, *item) : std::string();
  if (!result.empty() && platform::FileExists(result)) {
    QDBusInterface manager(QStringLiteral("org.freedesktop.FileManager1"),
                           QStringLiteral("/org/freedesktop/FileManager1"),
                           QStringLiteral("org.freedesktop.FileManager1"));
    if (manager.isValid()) {
      QDBusMessage reply = manager.call(
          QStringLiteral("ShowItems"),
          QStringList{QUrl::fromLocalFile(Q(result)).toString()}, QString());
      if (reply.type() != QDBusMessage::ErrorMessage) return;
    }
    OpenWithDesktop(QUrl::fromLocalFile(Q(platform::ParentDir(result))).toString());
    return;
  }
  OpenWithDesktop(QUrl::fromLocalFile(OutputFolder()).toString());
}

// --- menus and languages ---------------------------------------------------

void CMainFrame::OpenMainMenu() {
  popupMenu_.reset();
  popupMenu_ = app::PopupMenu::Load(QStringLiteral("main_menu.xml"), this,
                                    [this](const app::MenuCommand& c) { OnMenuCommand(c); });
  if (!popupMenu_) return;
  const char* current = app::LanguageOf(app::CurrentLanguageId()).menuItem;
  if (!current || !*current) current = "menuEn";
  for (const app::LanguageInfo& lang : app::Languages())
    if (lang.menuItem && *lang.menuItem) popupMenu_->SetItemChecked(lang.menuItem, false);
  popupMenu_->SetItemChecked(current, true);
  popupMenu_->Popup(QCursor::pos());
}

void CMainFrame::OnMenuCommand(const app::MenuCommand& command) {
  if (command.userData == "menuLang") {
    int id = app::LanguageIdOfMenuItem(S(command.name));
    if (id >= 0) SwitchLanguage(id);
  } else if (command.name.contains(QStringLiteral("menuex"))) {
    ApplyFormatChoice(command.name);
  } else if (command.name == "menuHelp") {
    OpenHelp();
  } else if (command.name.compare("menuSetting", Qt::CaseInsensitive) == 0) {
    OpenSettings();
  } else if (command.name.compare("menuAbout", Qt::CaseInsensitive) == 0) {
    CAboutDlg about(this);
    about.ShowModal();
  }
}

void CMainFrame::SwitchLanguage(int languageId) {
  if (languageId != app::CurrentLanguageId()) {
    bool switched = app::SwitchSkinLanguage(
        languageId, app::Paths().installDir,
        [this](const app::ControlText& text) { app::ApplyControlText(root(), text); });
    if (switched) {
      app::SetCurrentLanguageId(languageId);
      for (app::SkinList* list : lists_)
        for (int i = 0; list && i < list->Count(); ++i) ReloadRowLabels(list->RowAt(i));
      RefreshTitle();
      SwitchList(currentList_);  // the start button and the format label
    }
  }
  app::SaveLanguage(languageId, app::Settings(), app::Paths());
  app::ApplyLanguageWebValues(languageId, app::Paths(), &app::Oem());
}

// --- teardown --------------------------------------------------------------

void CMainFrame::Teardown() {
  if (tornDown_) return;
  tornDown_ = true;
  closing_ = true;
  popupMenu_.reset();
  // The engine first: a job or a cover still running would fill the folders again.
  if (session_) session_->Shutdown();
  const engine::EngineDirs& dirs = session_->Dirs();
  platform::EmptyFolder(dirs.cover);
  for (const std::string& dir : {dirs.scratch, dirs.work}) {
    platform::EmptyFolder(dir);
    platform::RemoveFolder(platform::WithoutTrailingSlash(dir));
  }
}

}  // namespace ui
