#include "app/ui/popup_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QWidget>
#include <QXmlStreamReader>

#include <vector>

#include "app/ui/image_string.h"
#include "app/ui/skin.h"
#include "app/ui/skin_image.h"

namespace app {
namespace {

struct MenuNode {
  bool separator = false;
  QString name, text, userData, icon;
  bool checkable = false, checked = false, visible = true, enabled = true;
  std::vector<MenuNode> items;
};

bool Flag(const QXmlStreamAttributes& attrs, const char* name, bool def) {
  if (!attrs.hasAttribute(QLatin1String(name))) return def;
  return attrs.value(QLatin1String(name)) == QLatin1String("true");
}

bool ReadItems(QXmlStreamReader* xml, std::vector<MenuNode>* items) {
  while (xml->readNextStartElement()) {
    MenuNode node;
    if (xml->name() == QLatin1String("Separator")) {
      node.separator = true;
      xml->skipCurrentElement();
    } else if (xml->name() == QLatin1String("Item")) {
      const QXmlStreamAttributes a = xml->attributes();
      node.name = a.value("name").toString();
      node.text = a.value("text").toString();
      node.userData = a.value("userdata").toString();
      node.icon = a.value("icon").toString();
      node.checkable = Flag(a, "checkable", false);
      node.checked = Flag(a, "checked", false);
      node.visible = Flag(a, "visible", true);
      node.enabled = Flag(a, "enabled", true);
      if (!ReadItems(xml, &node.items)) return false;
    } else {
      xml->raiseError(QStringLiteral("unknown element ") + xml->name().toString());
      return false;
    }
    items->push_back(std::move(node));
  }
  return !xml->hasError();
}

void Build(QMenu* menu, const std::vector<MenuNode>& items) {
  for (const MenuNode& node : items) {
    if (node.separator) {
      menu->addSeparator();
      continue;
    }
    QString text = node.text;
    text.replace('&', QStringLiteral("&&"));
    QAction* action;
    if (!node.items.empty()) {
      QMenu* sub = menu->addMenu(text);
      sub->setObjectName(node.name + QStringLiteral("_menu"));
      Build(sub, node.items);
      action = sub->menuAction();
    } else {
      action = menu->addAction(text);
    }
    action->setObjectName(node.name);
    action->setData(node.userData);
    action->setCheckable(node.checkable);
    action->setChecked(node.checked);
    action->setVisible(node.visible);
    action->setEnabled(node.enabled);
    if (!node.icon.isEmpty()) action->setIcon(SkinIcon(ParseImageString(node.icon)));
  }
}

}  // namespace

PopupMenu::PopupMenu(QWidget* owner, CommandHandler onCommand)
    : menu_(new QMenu(owner)), onCommand_(std::move(onCommand)) {}

PopupMenu::~PopupMenu() { delete menu_.data(); }

std::unique_ptr<PopupMenu> PopupMenu::Load(const QString& designName, QWidget* owner,
                                           CommandHandler onCommand, QString* error) {
  QByteArray content;
  if (!ReadSkinFile(designName, &content)) {
    if (error) *error = designName + ": not in the skin archive";
    return nullptr;
  }
  QXmlStreamReader xml(content);
  std::vector<MenuNode> items;
  if (!xml.readNextStartElement() || xml.name() != QLatin1String("Menu") ||
      !ReadItems(&xml, &items)) {
    if (error) *error = designName + ": not a menu: " + xml.errorString();
    return nullptr;
  }
  std::unique_ptr<PopupMenu> popup(new PopupMenu(owner, std::move(onCommand)));
  popup->menu_->setObjectName(QString(designName).remove(QStringLiteral(".xml")));
  if (!owner) popup->menu_->setStyleSheet(SkinStyleSheet());
  Build(popup->menu_, items);
  // A submenu's choice reaches the top menu too. The handler runs after the
  // menu has closed, so it may destroy this menu.
  connect(popup->menu_, &QMenu::triggered, popup.get(), [handler = popup->onCommand_](QAction* a) {
    if (!handler || a->menu()) return;
    MenuCommand command{a->objectName(), a->data().toString(), a->text().replace("&&", "&")};
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [handler, command] { handler(command); },
        Qt::QueuedConnection);
  });
  return popup;
}

QAction* PopupMenu::Item(const QString& name) const {
  if (!menu_ || name.isEmpty()) return nullptr;
  return menu_->findChild<QAction*>(name);
}

bool PopupMenu::SetItemChecked(const QString& name, bool checked) {
  QAction* a = Item(name);
  if (!a) return false;
  a->setChecked(checked);
  return true;
}

bool PopupMenu::SetItemVisible(const QString& name, bool visible) {
  QAction* a = Item(name);
  if (!a) return false;
  a->setVisible(visible);
  return true;
}

bool PopupMenu::MarkCurrent(const QString& name) {
  QAction* a = Item(name);
  if (!a) return false;
  a->setCheckable(true);
  a->setChecked(true);
  // A submenu's icon takes the place of its check mark: it is set in bold too.
  for (auto* holder = qobject_cast<QMenu*>(a->parent()); holder && holder != menu_;
       holder = qobject_cast<QMenu*>(holder->parent())) {
    QAction* opener = holder->menuAction();
    opener->setCheckable(true);
    opener->setChecked(true);
    QFont bold = opener->font();
    bold.setBold(true);
    opener->setFont(bold);
  }
  return true;
}

void PopupMenu::Popup(const QPoint& globalPos) {
  if (menu_) menu_->popup(globalPos);
}

void PopupMenu::PopupUnder(QWidget* anchor) {
  if (!menu_ || !anchor) return;
  // Right to left, the menu hangs from the anchor's left edge instead.
  if (anchor->isRightToLeft()) {
    menu_->popup(anchor->mapToGlobal(QPoint(0, anchor->height() + 4)));
    return;
  }
  const QPoint corner = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height() + 4));
  menu_->popup(QPoint(corner.x() - menu_->sizeHint().width(), corner.y()));
}

}  // namespace app
