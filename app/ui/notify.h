// Notifications of the named controls: every event a window reacts to comes
// as a type name and the name of the sending control.
//
//   click          a button was clicked (options and check boxes too)
//   selectchanged  an option was selected, or a check box changed
//   killfocus      an edit lost the keyboard focus
//   textchanged    the text of an edit changed
//   valuechanged   a slider, spin box or custom control changed its value
//   itemselect     a combo box or list widget selected another item
//   tabselect      a tab bar or tab widget selected another page
//   windowinit     the window's layout has been built (sent by the window)
//
// A custom control takes part by declaring the signal
// `notify(QString type, QVariant value)`.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>

namespace app {

namespace notify {
constexpr char kWindowInit[] = "windowinit";
constexpr char kClick[] = "click";
constexpr char kSelectChanged[] = "selectchanged";
constexpr char kKillFocus[] = "killfocus";
constexpr char kTextChanged[] = "textchanged";
constexpr char kValueChanged[] = "valuechanged";
constexpr char kItemSelect[] = "itemselect";
constexpr char kTabSelect[] = "tabselect";
}  // namespace notify

struct Notification {
  QString type;
  QString sender;             // the control's name
  QPointer<QWidget> control;  // null for the window's own notifications
  QVariant value;             // checked state, text, value or index, as the type has it
};

// Turns the signals and focus changes of the named controls below a root into
// notifications for one handler. Controls that arrive later (rows added to a
// list) are attached to the pump of their window by AttachToOwner.
class NotifyPump : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(const Notification&)>;

  NotifyPump(QWidget* root, Handler handler);

  // Wires the named controls of the tree under `widget` (and itself); a
  // control is never wired twice.
  void Attach(QWidget* widget);
  // Attaches the tree to the pump of the nearest ancestor that has one.
  static bool AttachToOwner(QWidget* widget);

  void Send(const Notification& n);
  void Send(const QString& type, QWidget* control, const QVariant& value = QVariant());

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void OnCustomNotify(const QString& type, const QVariant& value);

 private:
  void Wire(QWidget* control);

  Handler handler_;
};

}  // namespace app
