// The format menu of the main window: the entries of the shown list, and a
// chosen entry handed to the list session.
#include <algorithm>

#include <QAbstractButton>

#include "app/core/language.h"
#include "engine/format_catalog.h"
#include "ui/main_frame.h"
#include "ui/message_dlg.h"

namespace ui {

using engine::ConvertKind;

void CMainFrame::OpenFormatMenu() {
  auto* button = FindControl<QAbstractButton>(QStringLiteral("btn_menu_format"));
  popupMenu_.reset();
  popupMenu_ = app::PopupMenu::Load(QStringLiteral("format_menu.xml"), this,
                                    [this](const app::MenuCommand& c) { OnMenuCommand(c); });
  if (!popupMenu_) return;
  // The merge list has entries of its own ("menu2_…"): sizes, and joining
  // the parts as they are where they allow it.
  const bool merge = currentList_ == ConvertKind::Merge;
  const std::vector<media::OutputFormat> asTheyAre =
      merge ? session_->PartsJoinFormats() : std::vector<media::OutputFormat>();
  for (const media::OutputFormat format : engine::OutputFormats()) {
    const QString token = QString::fromStdString(engine::FormatToken(format));
    const bool offered = engine::ListOffersFormat(currentList_, format);
    popupMenu_->SetItemVisible(QStringLiteral("menu_") + token, offered && !merge);
    popupMenu_->SetItemVisible(QStringLiteral("menu2_") + token, offered && merge);
    const bool parts =
        std::find(asTheyAre.begin(), asTheyAre.end(), format) != asTheyAre.end();
    popupMenu_->SetItemVisible(QStringLiteral("menuex2_") + token + QStringLiteral("_parts"),
                               parts);
  }
  // The list's current format and size carry the mark ("menuex_mkv_720").
  const engine::ListChoice now = session_->Choice(currentList_);
  popupMenu_->MarkCurrent((merge ? QStringLiteral("menuex2_") : QStringLiteral("menuex_")) +
                          QString::fromStdString(engine::FormatToken(now.format)) + '_' +
                          QString::fromStdString(engine::PresetToken(now.preset)));
  if (button) popupMenu_->PopupUnder(button);
}

void CMainFrame::ApplyFormatChoice(const QString& menuName) {
  if (!lists_[static_cast<int>(currentList_)]) return;
  if (session_->ApplyFormatChoice(currentList_, menuName.toStdString()) ==
      engine::ChoiceResult::Refused) {
    Ask(app::DecodeBase64(app::langkey::kWaitForConverB64).c_str(), false);
    return;
  }
  RefreshFormatLabel();
}

}  // namespace ui
