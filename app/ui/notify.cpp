#include "app/ui/notify.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

namespace app {
namespace {

constexpr char kPumpProperty[] = "notifyPump";    // on the root: its pump
constexpr char kWiredProperty[] = "notifyWired";  // on a control: the pump it is wired to

}  // namespace

NotifyPump::NotifyPump(QWidget* root, Handler handler)
    : QObject(root), handler_(std::move(handler)) {
  root->setProperty(kPumpProperty, QVariant::fromValue<QObject*>(this));
}

void NotifyPump::Attach(QWidget* widget) {
  if (!widget) return;
  Wire(widget);
  for (QWidget* child : widget->findChildren<QWidget*>()) Wire(child);
}

bool NotifyPump::AttachToOwner(QWidget* widget) {
  for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
    if (auto* pump = qobject_cast<NotifyPump*>(w->property(kPumpProperty).value<QObject*>())) {
      pump->Attach(widget);
      return true;
    }
  }
  return false;
}

void NotifyPump::Send(const Notification& n) {
  if (handler_) handler_(n);
}

void NotifyPump::Send(const QString& type, QWidget* control, const QVariant& value) {
  Send(Notification{type, control ? control->objectName() : QString(), control, value});
}

void NotifyPump::Wire(QWidget* c) {
  const QString name = c->objectName();
  if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return;
  if (c->property(kWiredProperty).value<QObject*>() == this) return;
  c->setProperty(kWiredProperty, QVariant::fromValue<QObject*>(this));

  if (auto* b = qobject_cast<QAbstractButton*>(c)) {
    connect(b, &QAbstractButton::clicked, this,
            [this, b](bool checked) { Send(notify::kClick, b, checked); });
    if (b->isCheckable()) {
      // An option reports its selection only; the one it replaced stays quiet.
      connect(b, &QAbstractButton::toggled, this, [this, b](bool on) {
        if (on || !b->autoExclusive()) Send(notify::kSelectChanged, b, on);
      });
    }
  } else if (auto* e = qobject_cast<QLineEdit*>(c)) {
    connect(e, &QLineEdit::textChanged, this,
            [this, e](const QString& text) { Send(notify::kTextChanged, e, text); });
  } else if (auto* t = qobject_cast<QTextEdit*>(c)) {
    connect(t, &QTextEdit::textChanged, this,
            [this, t] { Send(notify::kTextChanged, t, t->toPlainText()); });
  } else if (auto* t = qobject_cast<QPlainTextEdit*>(c)) {
    connect(t, &QPlainTextEdit::textChanged, this,
            [this, t] { Send(notify::kTextChanged, t, t->toPlainText()); });
  } else if (auto* s = qobject_cast<QAbstractSlider*>(c)) {
    connect(s, &QAbstractSlider::valueChanged, this,
            [this, s](int v) { Send(notify::kValueChanged, s, v); });
  } else if (auto* s = qobject_cast<QSpinBox*>(c)) {
    connect(s, &QSpinBox::valueChanged, this,
            [this, s](int v) { Send(notify::kValueChanged, s, v); });
  } else if (auto* s = qobject_cast<QDoubleSpinBox*>(c)) {
    connect(s, &QDoubleSpinBox::valueChanged, this,
            [this, s](double v) { Send(notify::kValueChanged, s, v); });
  } else if (auto* box = qobject_cast<QComboBox*>(c)) {
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, box](int i) { Send(notify::kItemSelect, box, i); });
  } else if (auto* list = qobject_cast<QListWidget*>(c)) {
    connect(list, &QListWidget::currentRowChanged, this,
            [this, list](int i) { Send(notify::kItemSelect, list, i); });
  } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
    connect(tabs, &QTabWidget::currentChanged, this,
            [this, tabs](int i) { Send(notify::kTabSelect, tabs, i); });
  } else if (auto* bar = qobject_cast<QTabBar*>(c)) {
    connect(bar, &QTabBar::currentChanged, this,
            [this, bar](int i) { Send(notify::kTabSelect, bar, i); });
  }

  if (qobject_cast<QLineEdit*>(c) || qobject_cast<QTextEdit*>(c) ||
      qobject_cast<QPlainTextEdit*>(c) || qobject_cast<QAbstractSpinBox*>(c)) {
    c->installEventFilter(this);
  }
  if (c->metaObject()->indexOfSignal("notify(QString,QVariant)") >= 0) {
    connect(c, SIGNAL(notify(QString, QVariant)), this, SLOT(OnCustomNotify(QString, QVariant)));
  }
}

bool NotifyPump::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    if (auto* w = qobject_cast<QWidget*>(watched)) Send(notify::kKillFocus, w);
  }
  return false;
}

void NotifyPump::OnCustomNotify(const QString& type, const QVariant& value) {
  Send(type, qobject_cast<QWidget*>(sender()), value);
}

}  // namespace app
