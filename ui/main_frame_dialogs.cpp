// The dialogs the main window opens for the engine's work: the settings of
// the next conversion and the join of the merge list.
#include <QUrl>

#include "app/core/language.h"
#include "app/core/message_text.h"
#include "app/core/app_paths.h"
#include "app/ui/shell.h"
#include "engine/work_dirs.h"
#include "ui/main_frame.h"
#include "ui/merge_dlg.h"
#include "ui/message_dlg.h"
#include "ui/setting_dlg.h"

namespace ui {

void CMainFrame::OpenSettings() {
  CSettingDlg settings(this);
  settings.ShowModal();
}

void CMainFrame::RunMerge(const engine::MergeRequest& request) {
  bool succeeded = false;
  std::string reason;
  bool stopped = false;
  {
    CMergeDlg merge(this, request, session_->Dirs());
    merge.ShowModal();
    succeeded = merge.Succeeded();
    stopped = merge.Stopped();
    reason = merge.FailureReason();
  }
  session_->EndMerge(succeeded);
  if (succeeded) {
    if (MessageBoxByKey(app::langkey::kTransformSuccess, this, kMbIconInformation | kMbYesNo) == app::kIdYes)
      app::OpenAddress(QUrl::fromLocalFile(QString::fromStdString(request.outputFolder)).toString());
    return;
  }
  // A merge the user stopped needs no box; a failed one says why.
  if (stopped) return;
  QString text = QString::fromStdString(
      app::FillTextPlaceholder(app::LangText(app::langkey::kMergeFailed, app::kSectionMessage), reason));
  MessageBoxText(this, text, QString::fromStdString(app::LangText(app::langkey::kError, app::kSectionMessage)),
                 kMbIconError);
}

}  // namespace ui
