// Popup menus from the menu layouts of the skin ("main_menu.xml",
// "format_menu.xml"), a small format of named items:
//
//   <Menu>
//     <Item name="menuSetting" text="Settings…" icon="file='images/settings.svg'"/>
//     <Item name="menuLanguage" text="Language">
//       <Item name="menuEn" text="English" userdata="menuLang" checkable="true"/>
//     </Item>
//     <Separator/>
//   </Menu>
//
// Item attributes: name, text, userdata, icon (an image string), checkable,
// checked, visible and enabled ("true"/"false"). An item with items inside
// opens a submenu.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace app {

// What a chosen item reports: its name, user data and text.
struct MenuCommand {
  QString name;
  QString userData;
  QString text;
};

class PopupMenu : public QObject {
  Q_OBJECT

 public:
  using CommandHandler = std::function<void(const MenuCommand&)>;

  // Null when the layout is missing or not a menu.
  static std::unique_ptr<PopupMenu> Load(const QString& designName, QWidget* owner,
                                         CommandHandler onCommand, QString* error = nullptr);
  ~PopupMenu() override;

  QMenu* menu() const { return menu_; }
  // The item of that name (a submenu's item too); null when there is none.
  QAction* Item(const QString& name) const;
  bool SetItemChecked(const QString& name, bool checked);
  bool SetItemVisible(const QString& name, bool visible);
  // Shows the item as the current choice: checked, and the submenus that
  // hold it checked and in bold, so the mark is seen before they open.
  // False when there is no such item.
  bool MarkCurrent(const QString& name);

  // Opens without waiting; the command arrives through the handler.
  void Popup(const QPoint& globalPos);
  // Opens under `anchor`, right edges aligned (left edges right to left).
  void PopupUnder(QWidget* anchor);

 private:
  PopupMenu(QWidget* owner, CommandHandler onCommand);

  QPointer<QMenu> menu_;
  CommandHandler onCommand_;
};

}  // namespace app
