// The dialogs the main window opens for the engine's work: the settings of
// the next conversion and the join of the merge list; what the desktop opens
// for it, and the box when it cannot.
#include <QUrl>

#include "app/core/language.h"
#include "app/core/message_text.h"
#include "app/core/app_paths.h"
#include "app/ui/shell.h"
#include "platform/files.h"
#include "ui/main_frame.h"
#include "ui/merge_dlg.h"
#include "ui/message_dlg.h"
#include "ui/setting_dlg.h"

namespace ui {

bool CMainFrame::OpenWithDesktop(const QString& address) {
  if (app::OpenAddress(address)) return true;
  const QUrl url(address);
  const QString shown = url.isLocalFile() ? url.toLocalFile() : address;
  MessageBoxText(this,
                 QString::fromStdString(app::FillTextPlaceholder(
                     app::LangText(app::langkey::kNoProgram, app::kSectionMessage),
                     shown.toStdString())),
                 QString::fromStdString(
                     app::LangText(app::langkey::kInformation, app::kSectionMessage)),
                 kMbIconInformation);
  return false;
}

void CMainFrame::OpenHelp() { OpenWithDesktop(app::SupportAddress()); }

void CMainFrame::OpenSettings() {
  CSettingDlg settings(this);
  settings.ShowModal();
}

void CMainFrame::RunMerge() {
  // A join that ended before its dialog could open needs none.
  if (session_->MergeRunning()) {
    CMergeDlg merge(this, *session_);
    mergeDlg_ = &merge;
    merge.ShowModal();
    mergeDlg_ = nullptr;
  }
  const engine::MergeOutcome outcome = mergeOutcome_;
  if (outcome.end == engine::MergeOutcome::End::Done) {
    if (MessageBoxByKey(app::langkey::kTransformSuccess, this, kMbIconInformation | kMbYesNo) == app::kIdYes) {
      const std::string folder = platform::ParentDir(outcome.outputPath);
      OpenWithDesktop(QUrl::fromLocalFile(QString::fromStdString(folder)).toString());
    }
    return;
  }
  // A merge the user stopped needs no box; a failed one says why.
  if (outcome.end == engine::MergeOutcome::End::Stopped) return;
  QString text = QString::fromStdString(app::FillTextPlaceholder(
      app::LangText(app::langkey::kMergeFailed, app::kSectionMessage), outcome.reason));
  MessageBoxText(this, text, QString::fromStdString(app::LangText(app::langkey::kError, app::kSectionMessage)),
                 kMbIconError);
}

}  // namespace ui
