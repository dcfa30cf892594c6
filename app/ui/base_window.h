// The base of every window of the program: a frameless window that builds
// its layout from the skin, turns its controls' events into notifications,
// draws its own drop shadow and frame border as the install Config.ini asks,
// and is closed with a result.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/ui/layout.h"
#include "app/ui/notify.h"

class QVBoxLayout;

namespace app {

// Answers as the system message box gives them.
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

class MyBaseWindow : public QWidget {
  Q_OBJECT

 public:
  enum class Kind {
    kDialog,      // fixed size, centred on its owner
    kMainWindow,  // resizable, may be maximized
  };

  // The shadow follows AppSettings EnableShadow.
  explicit MyBaseWindow(QWidget* owner = nullptr, Kind kind = Kind::kDialog);
  ~MyBaseWindow() override;

  // The design name of the window's layout ("dlg_about.xml").
  virtual QString LayoutFile() const = 0;

  // Builds the layout into the window and sends "windowinit". False when the
  // layout cannot be built; the window is then empty.
  bool Create();
  bool IsCreated() const { return root_ != nullptr; }
  // Shows the window modal to the whole program and waits until it closes.
  // Returns the result of Close; 0 when the window cannot be created.
  int ShowModal();
  // Closes the window with a result. Closing it any other way (the title's
  // close button, Escape, the desktop) keeps the result it has.
  void Close(int result);
  int result() const { return result_; }
  void SetResult(int result) { result_ = result; }
  // Over the owner window, else in the middle of the screen.
  void CenterWindow();

  void EnableShadow(bool enable);
  bool HasShadow() const { return shadow_; }

  QWidget* root() const { return root_; }
  template <class T = QWidget>
  T* FindControl(const QString& name) const {
    return app::FindControl<T>(root_, name);
  }
  NotifyPump* pump() const { return pump_; }

 signals:
  void closed(int result);

 protected:
  // Every notification of the window's controls. The base handles
  // "windowinit": the border of "DlgFrame", then OnLayoutReady. Overrides
  // call it first.
  virtual void Notify(const Notification& n);
  // The layout exists: fill the controls.
  virtual void OnLayoutReady(const Notification& n);
  // The window has closed; windows that delete themselves do it here
  // (deleteLater).
  virtual void OnFinalMessage();
  // Keys the window answers itself; the base closes on Escape. True when taken.
  virtual bool ResponseDefaultKeyEvent(QKeyEvent* event);

  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyDlgBorder();
  void UpdateMargins();
  void PlaceGrip();
  Qt::Edges EdgesAt(const QPoint& windowPos) const;

  Kind kind_;
  bool shadow_ = false;
  int result_ = 0;
  QVBoxLayout* layout_;
  QWidget* root_ = nullptr;
  NotifyPump* pump_ = nullptr;
  QPointer<QWidget> owner_;
  // A press on a caption moves the window once the pointer moves with the
  // button held; a release before that (a quick click, a tap) moves nothing.
  bool pressPending_ = false;
  QPoint pressAt_;            // global, of the pending press
  bool systemMove_ = false;   // the desktop was asked to move the window
  QPoint dragOffset_;         // moving by hand where the desktop cannot
  bool dragging_ = false;
  void EndMove();
};

// Whether windows can have see-through edges here (a compositing desktop).
bool ShadowSupported();

}  // namespace app
