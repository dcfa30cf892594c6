#include "ui/clip_editor/widgets/draw_panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include "app/ui/compositor.h"

namespace {

constexpr int kMark = 10;       // corner marks: 10 pixels long
constexpr int kMarkWidth = 4;   // and 4 thick
const QColor kLineColor(0x32, 0x7d, 0xc8);

// The four L-shaped corner marks of a rectangle.
QRegion Marks(const QRect& r) {
  QRegion marks;
  const int right = r.right() + 1 - kMark, bottom = r.bottom() + 1 - kMark;
  for (const QPoint& corner : {r.topLeft(), QPoint(r.left(), bottom), QPoint(right, r.top()),
                               QPoint(right, bottom)}) {
    const bool atLeft = corner.x() == r.left(), atTop = corner.y() == r.top();
    const int vx = atLeft ? corner.x() : corner.x() + kMark - kMarkWidth;
    const int hy = atTop ? corner.y() : corner.y() + kMark - kMarkWidth;
    marks += QRect(vx, corner.y(), kMarkWidth, kMark);
    marks += QRect(corner.x(), hy, kMark, kMarkWidth);
  }
  return marks;
}

}  // namespace

CVideoDrawPanel::CVideoDrawPanel(IDrawPanelEvent* listener, int videoWidth, int videoHeight,
                                 QWidget* owner)
    : QWidget(owner, Composited() ? Qt::Tool | Qt::FramelessWindowHint |
                                        Qt::WindowDoesNotAcceptFocus
                                  : Qt::Widget),
      listener_(listener),
      owner_(owner),
      model_(videoWidth, videoHeight),
      seeThrough_(isWindow()) {
  if (seeThrough_) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
  } else {
    // A window of the owner's own, stacked over the picture's window: no
    // window manager can bury it under the dialog it belongs to.
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
  }
  setMouseTracking(true);  // the cursor tells what a drag would do
}

bool CVideoDrawPanel::Composited() { return app::X11HasCompositor(); }

bool CVideoDrawPanel::SetArea(const QRect& area) {
  if (area.width() <= 0 || area.height() <= 0) return false;
  area_ = area;
  model_.SetArea(area.width(), area.height());
  if (isWindow()) {
    FollowOwner();
    resize(area.size());
  } else {
    setGeometry(area);
  }
  if (!isVisible()) show();
  raise();
  Redraw();
  return true;
}

void CVideoDrawPanel::FollowOwner() {
  if (isWindow() && owner_ && !area_.isEmpty()) move(owner_->mapToGlobal(area_.topLeft()));
}

QRect CVideoDrawPanel::ScreenRect() const {
  const player::CropRect& c = model_.crop;
  const float s = model_.scale();
  return QRect(int(c.x * s), int(c.y * s), int(c.width * s), int(c.height * s));
}

void CVideoDrawPanel::UpdateMask() {
  if (seeThrough_) return;
  const QRect r = ScreenRect();
  if (r.width() <= 0 || r.height() <= 0) {
    setMask(QRegion(0, 0, 1, 1));  // nothing to show; an empty mask would show all
    return;
  }
  QRegion outline = QRegion(r) - QRegion(r.adjusted(1, 1, -1, -1));
  setMask(outline + Marks(r));
}

void CVideoDrawPanel::Redraw() {
  UpdateMask();
  update();
  if (listener_) listener_->OnRectRedrawn();
}

void CVideoDrawPanel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (seeThrough_) {
    // Nearly invisible, yet every pixel takes the mouse.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), QColor(0, 0, 0, 5));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  const QRect r = ScreenRect();
  if (r.width() <= 0 || r.height() <= 0) return;
  painter.setPen(QPen(kLineColor, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  for (const QRect& mark : Marks(r)) painter.fillRect(mark, kLineColor);
}

void CVideoDrawPanel::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    model_.Press(p.x(), p.y());
    Redraw();
  } else if (event->button() == Qt::RightButton) {
    unsetCursor();
    Redraw();
  }
}

void CVideoDrawPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (!model_.dragging()) {
    switch (model_.ZoneAt(p.x(), p.y())) {
      case player::kZoneMove: setCursor(Qt::SizeAllCursor); break;
      case player::kZoneTopLeft:
      case player::kZoneBottomRight: setCursor(Qt::SizeFDiagCursor); break;
      case player::kZoneBottomLeft:
      case player::kZoneTopRight: setCursor(Qt::SizeBDiagCursor); break;
      default: setCursor(Qt::ArrowCursor); break;
    }
    return;
  }
  if (!model_.Move(p.x(), p.y())) return;
  const player::CropRect& c = model_.crop;
  if (listener_) listener_->OnRectChanged(c.x, c.y, c.width, c.height);
  Redraw();
}

void CVideoDrawPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) model_.Release();
}
