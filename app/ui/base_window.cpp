#include "app/ui/base_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSizeGrip>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include "app/core/app_settings.h"
#include "app/core/run_log.h"
#include "app/ui/compositor.h"
#include "app/ui/skin.h"

namespace app {
namespace {

constexpr int kShadowSize = 14;    // room around the frame for the shadow
constexpr int kShadowRadius = 10;  // corner of the frame the shadow follows
constexpr int kResizeBorder = 6;   // grab zone inside the shadow room
constexpr int kGripSize = 14;

// The corner grip of a resizable window; it draws nothing, the corner shows.
class CornerGrip : public QSizeGrip {
 public:
  using QSizeGrip::QSizeGrip;

 protected:
  void paintEvent(QPaintEvent*) override {}
};

}  // namespace

bool ShadowSupported() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform.startsWith(QLatin1String("wayland")))
    return true;
  if (platform == QLatin1String("xcb")) return X11HasCompositor();
  return false;
}

MyBaseWindow::MyBaseWindow(QWidget* owner, Kind kind)
    : QWidget(owner, (kind == Kind::kDialog ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint),
      kind_(kind),
      owner_(owner) {
  layout_ = new QVBoxLayout(this);
  layout_->setSpacing(0);
  if (kind_ == Kind::kDialog) layout_->setSizeConstraint(QLayout::SetFixedSize);
  setStyleSheet(SkinStyleSheet());
  setMouseTracking(true);
  installEventFilter(this);  // presses in the shadow room resize
  if (kind_ == Kind::kMainWindow) {
    auto* grip = new CornerGrip(this);
    grip->setObjectName(QStringLiteral("sizeGrip"));
    grip->resize(kGripSize, kGripSize);
  }
  EnableShadow(Settings().enableShadow != 0);
}

MyBaseWindow::~MyBaseWindow() {
  // The controls go after this: a focused edit's last focus-out must not
  // reach a window that is half destroyed.
  delete pump_;
}

bool MyBaseWindow::Create() {
  if (root_) return true;
  QString error;
  root_ = LoadLayout(LayoutFile(), this, &error);
  if (!root_) {
    DebugTrace("window layout: %s\n", error.toUtf8().constData());
    return false;
  }
  layout_->addWidget(root_);
  if (kind_ == Kind::kMainWindow) {
    const QMargins m = layout_->contentsMargins();
    resize(root_->width() + m.left() + m.right(), root_->height() + m.top() + m.bottom());
  }
  QList<QWidget*> widgets = root_->findChildren<QWidget*>();
  widgets.prepend(root_);
  for (QWidget* w : widgets) {
    if (w->property("caption").toBool()) w->installEventFilter(this);
  }
  pump_ = new NotifyPump(this, [this](const Notification& n) { Notify(n); });
  pump_->Attach(root_);
  pump_->Send(Notification{QString::fromLatin1(notify::kWindowInit), QString(), nullptr, {}});
  return true;
}

int MyBaseWindow::ShowModal() {
  if (!Create()) return 0;
  setWindowModality(Qt::ApplicationModal);
  if (kind_ == Kind::kDialog) {
    layout_->activate();
    adjustSize();
  }
  CenterWindow();
  show();
  raise();
  activateWindow();
  int answer = result_;
  QEventLoop loop;
  connect(this, &MyBaseWindow::closed, &loop, [&](int r) {
    answer = r;
    loop.quit();
  });
  connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::DialogExec);
  return answer;  // the window may be gone by now
}

void MyBaseWindow::Close(int result) {
  result_ = result;
  close();
}

void MyBaseWindow::CenterWindow() {
  QRect area;
  if (owner_ && owner_->window()->isVisible()) {
    area = owner_->window()->frameGeometry();
  } else if (QScreen* s = screen()) {
    area = s->availableGeometry();
  }
  if (area.isEmpty()) return;
  QRect g = frameGeometry();
  g.moveCenter(area.center());
  move(g.topLeft());
}

void MyBaseWindow::EnableShadow(bool enable) {
  shadow_ = enable && ShadowSupported();
  // Only a window that is not on screen yet can become see-through.
  setAttribute(Qt::WA_TranslucentBackground, shadow_);
  setProperty("shadow", shadow_);
  UpdateMargins();
}

void MyBaseWindow::UpdateMargins() {
  const bool full = isMaximized() || isFullScreen();
  if (shadow_ && !full) {
    const int m = kShadowSize;
    layout_->setContentsMargins(m, m - 2, m, m + 2);  // the light comes from above
  } else {
    layout_->setContentsMargins(0, 0, 0, 0);
  }
  PlaceGrip();
  update();
}

void MyBaseWindow::Notify(const Notification& n) {
  if (n.type == QLatin1String(notify::kWindowInit)) {
    ApplyDlgBorder();
    OnLayoutReady(n);
  }
}

void MyBaseWindow::OnLayoutReady(const Notification&) {}

void MyBaseWindow::OnFinalMessage() {}

void MyBaseWindow::ApplyDlgBorder() {
  QWidget* frame = FindControl(QStringLiteral("DlgFrame"));
  if (!frame) return;
  const int b = Settings().showDlgBorder != 0 ? 1 : 0;
  if (frame->layout()) {
    frame->layout()->setContentsMargins(b, b, b, b);
  } else {
    frame->setContentsMargins(b, b, b, b);
  }
  // The style sheet draws the border of a frame whose borderSize is 1.
  frame->setProperty("borderSize", b);
  frame->style()->unpolish(frame);
  frame->style()->polish(frame);
  frame->update();
}

bool MyBaseWindow::ResponseDefaultKeyEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return true;
  }
  return false;
}

void MyBaseWindow::keyPressEvent(QKeyEvent* event) {
  if (ResponseDefaultKeyEvent(event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MyBaseWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closed(result_);
  OnFinalMessage();
}

void MyBaseWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) UpdateMargins();
  QWidget::changeEvent(event);
}

void MyBaseWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceGrip();
}

void MyBaseWindow::PlaceGrip() {
  auto* grip = findChild<QSizeGrip*>(QStringLiteral("sizeGrip"), Qt::FindDirectChildrenOnly);
  if (!grip) return;
  const QRect r = rect().marginsRemoved(layout_->contentsMargins());
  // Right to left, the grip sits and pulls at the bottom left corner.
  grip->move(isRightToLeft() ? r.left() : r.right() - kGripSize + 1, r.bottom() - kGripSize + 1);
  grip->setVisible(!isMaximized() && !isFullScreen());
  grip->raise();
}

void MyBaseWindow::paintEvent(QPaintEvent*) {
  if (!shadow_ || !root_ || layout_->contentsMargins().isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
  const QRectF frame = QRectF(root_->geometry()).translated(0, 2);
  // Rings of falling strength around the frame make a soft shadow.
  for (int k = 1; k <= kShadowSize; ++k) {
    const double fall = 1.0 - double(k) / kShadowSize;
    p.setPen(QPen(QColor(16, 24, 40, int(34 * fall * fall)), 1.0));
    const double grow = k - 0.5;
    p.drawRoundedRect(frame.adjusted(-grow, -grow, grow, grow), kShadowRadius + grow,
                      kShadowRadius + grow);
  }
}

void MyBaseWindow::EndMove() {
  pressPending_ = false;
  dragging_ = false;
  // The window still sees the release: the desktop has not taken the pointer
  // for the move it was asked for, and would move the window until the next
  // click. Some desktops take no notice of Qt's own cancel.
  if (systemMove_ && QGuiApplication::platformName() == QLatin1String("xcb"))
    X11CancelWindowMove(winId());
  systemMove_ = false;
}

Qt::Edges MyBaseWindow::EdgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (kind_ != Kind::kMainWindow || !shadow_ || isMaximized() || !root_) return edges;
  const QRect inner =
      root_->geometry().adjusted(-kResizeBorder, -kResizeBorder, kResizeBorder, kResizeBorder);
  if (!inner.contains(pos)) return edges;
  if (pos.x() < root_->geometry().left()) edges |= Qt::LeftEdge;
  if (pos.x() > root_->geometry().right()) edges |= Qt::RightEdge;
  if (pos.y() < root_->geometry().top()) edges |= Qt::TopEdge;
  if (pos.y() > root_->geometry().bottom()) edges |= Qt::BottomEdge;
  return edges;
}

bool MyBaseWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  const bool mine = w && (w == this || w->property("caption").toBool());
  if (!mine) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton) break;
      const Qt::Edges edges = w == this ? EdgesAt(e->position().toPoint()) : Qt::Edges();
      if (edges) {
        if (QWindow* handle = windowHandle()) handle->startSystemResize(edges);
        return true;
      }
      if (w == this && shadow_) break;  // a press in the shadow does nothing
      EndMove();
      pressPending_ = true;
      pressAt_ = e->globalPosition().toPoint();
      return true;
    }
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      const bool held = e->buttons() & Qt::LeftButton;
      if (pressPending_ || dragging_) {
        // A release that never reached the window ends the move as well.
        if (!held) {
          EndMove();
          return true;
        }
        if (pressPending_) {
          const QPoint now = e->globalPosition().toPoint();
          if ((now - pressAt_).manhattanLength() < 3) return true;
          pressPending_ = false;
          QWindow* handle = windowHandle();
          if (handle && handle->startSystemMove()) {
            systemMove_ = true;
          } else {
            dragging_ = true;
            dragOffset_ = pressAt_ - frameGeometry().topLeft();
          }
        }
        if (dragging_) move(e->globalPosition().toPoint() - dragOffset_);
        return true;
      }
      if (w == this) {
        const Qt::Edges edges = EdgesAt(e->position().toPoint());
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)) {
          shape = Qt::SizeFDiagCursor;
        } else if (edges == (Qt::RightEdge | Qt::TopEdge) ||
                   edges == (Qt::LeftEdge | Qt::BottomEdge)) {
          shape = Qt::SizeBDiagCursor;
        } else if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
          shape = Qt::SizeHorCursor;
        } else if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
          shape = Qt::SizeVerCursor;
        }
        setCursor(shape);
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) EndMove();
      break;
    case QEvent::MouseButtonDblClick:
      if (w != this && kind_ == Kind::kMainWindow) {
        if (isMaximized()) {
          showNormal();
        } else {
          showMaximized();
        }
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace app
