#include "app/ui/layout.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QEvent>
#include <QLineEdit>
#include <QUiLoader>
#include <QVBoxLayout>

#include <map>

#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "app/ui/skin_image.h"

namespace app {
namespace {

std::map<QString, ControlFactory>& Factories() {
  static std::map<QString, ControlFactory> factories = [] {
    std::map<QString, ControlFactory> f;
    f["QWidget"] = [](QWidget* parent) { return new SkinFrame(parent); };
    f["SkinFrame"] = [](QWidget* parent) { return new SkinFrame(parent); };
    f["SkinLabel"] = [](QWidget* parent) { return new SkinLabel(parent); };
    f["SkinEdit"] = [](QWidget* parent) { return new SkinEdit(parent); };
    f["SkinList"] = [](QWidget* parent) { return new SkinList(parent); };
    f["SkinToggle"] = [](QWidget* parent) { return new SkinToggle(parent); };
    // The conversion control builds its own layout into itself.
    f["ConverCtrl"] = [](QWidget* parent) {
      auto* host = new SkinFrame(parent);
      LoadLayoutInto(host, QStringLiteral("ConverCtrl.xml"));
      return host;
    };
    return f;
  }();
  return factories;
}

class SkinLoader : public QUiLoader {
 public:
  SkinLoader() {
    setLanguageChangeEnabled(false);
    setTranslationEnabled(false);
  }

  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* w = nullptr;
    auto it = Factories().find(className);
    if (it != Factories().end()) {
      w = it->second(parent);
    } else {
      w = QUiLoader::createWidget(className, parent, name);
    }
    if (w) w->setObjectName(name);
    return w;
  }
};

// A button pressed with the pointer shows no focus frame: the window forgets
// that the keyboard moved the focus last (the Tab key sets it again, and the
// style draws the frame only then).
class PointerFocus : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      QWidget* window = static_cast<QWidget*>(watched)->window();
      if (window->testAttribute(Qt::WA_KeyboardFocusChange)) {
        window->setAttribute(Qt::WA_KeyboardFocusChange, false);
        if (QWidget* focus = window->focusWidget()) focus->update();
      }
    }
    return false;
  }
};

// What the layout asks of its controls beyond Qt's own properties.
void PrepareControls(QWidget* root) {
  auto* pointerFocus = new PointerFocus(root);
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  widgets.prepend(root);
  for (QWidget* w : widgets) {
    // Icons: vector pictures cannot go through Qt's iconset.
    const QVariant icon = w->property("skinIcon");
    if (icon.isValid()) SetControlImage(w, icon.toString());
    if (qobject_cast<QAbstractButton*>(w)) w->installEventFilter(pointerFocus);
    // A text the program puts into an edit shows from its start, not its end.
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] {
        if (!edit->hasFocus()) edit->setCursorPosition(0);
      });
    }
  }
}

}  // namespace

void RegisterControlFactory(const QString& className, ControlFactory factory) {
  Factories()[className] = std::move(factory);
}

QWidget* LoadLayout(const QString& designName, QWidget* parent, QString* error) {
  QByteArray content;
  if (!ReadSkinFile(designName, &content)) {
    if (error) *error = designName + ": not in the skin archive";
    return nullptr;
  }
  QBuffer buffer(&content);
  buffer.open(QIODevice::ReadOnly);
  SkinLoader loader;
  QWidget* root = loader.load(&buffer, parent);
  if (!root) {
    if (error) *error = designName + ": " + loader.errorString();
    return nullptr;
  }
  PrepareControls(root);
  return root;
}

bool LoadLayoutInto(QWidget* host, const QString& designName, QString* error) {
  QWidget* root = LoadLayout(designName, host, error);
  if (!root) return false;
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(root);
  return true;
}

}  // namespace app
