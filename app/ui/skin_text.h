// The localized texts that the layouts carry, and the skin's part of a
// language switch. The build writes each language's texts into its archive
// and marks every text it wrote with its key ("Skin.BtnAddFiles"): in a
// window layout as the id of the <string>, in a menu layout as the
// attribute "textid"; only marked texts take part in a switch.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace app {

// How a reported text applies to its control.
enum class TextKind : int {
  kText = 0,     // the text
  kToolTip = 1,  // the tooltip
  kHint = 2,     // the hint text of an empty edit
};

struct ControlText {
  QString name;  // the control (or menu item)
  QString value;
  TextKind kind = TextKind::kText;
  QString key;  // "<Section>.<Key>" of the language source
};

// The marked texts of a layout of the archive in use, in layout order.
std::vector<ControlText> ReadLayoutTexts(const QString& designName);

// Puts a reported text on the control of its name below `root` by its kind;
// false when there is no such control or the kind does not apply to it.
bool ApplyControlText(QWidget* root, const ControlText& text);

// The layouts whose texts a language switch reloads.
const std::vector<QString>& ReloadedLayouts();

// Lays every window out from right to left when the language is written so,
// else from left to right (the application's layout direction).
void ApplyLanguageDirection(int languageId);

// The skin's part of a language switch: selects the archive of the language
// (kept in OemConfig), puts it in use, reports every text of the reloaded
// layouts and sets the layout direction of the language. False when the
// language has no archive or it cannot be used; the previous archive then
// stays in use and nothing is reported.
bool SwitchSkinLanguage(int languageId, const std::string& installDir,
                        const std::function<void(const ControlText&)>& report);

}  // namespace app
