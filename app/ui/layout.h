// Layouts of the skin archive, loaded by their design names ("skin.xml",
// "video_info.xml", …): Qt Designer files whose objectName is the control
// name. Controls of the program's own classes come from a factory; the
// element "ConverCtrl" builds "ConverCtrl.xml" into itself.
//
// Picture properties understood on any control of a layout:
//   bkimage   (SkinFrame, SkinLabel) image string of the background
//   skinIcon  (buttons) image string of the icon; iconColor, iconColorChecked,
//             iconColorDisabled and iconColorHover colour vector icons
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace app {

using ControlFactory = std::function<QWidget*(QWidget* parent)>;
// Adds or replaces the maker of a control class that layouts may name.
void RegisterControlFactory(const QString& className, ControlFactory factory);

// Builds a layout of the skin archive in use; null when the file is missing
// or not a layout (the reason goes to `error`). The tree is not shown.
QWidget* LoadLayout(const QString& designName, QWidget* parent = nullptr, QString* error = nullptr);
// Builds the layout as the only child of `host`, filling it.
bool LoadLayoutInto(QWidget* host, const QString& designName, QString* error = nullptr);

// The control of that name: `root` itself or the first one below it.
template <class T = QWidget>
T* FindControl(QWidget* root, const QString& name) {
  if (!root) return nullptr;
  if (root->objectName() == name) {
    if (T* self = qobject_cast<T*>(root)) return self;
  }
  return root->findChild<T*>(name);
}

}  // namespace app
