// The crop rectangle over the clip editor's picture: it lies exactly over the
// picture area, shows the rectangle with its four corner marks, and lets the
// user move it and drag its corners. With a compositing manager it is a
// see-through frameless tool window; without one, a shaped child window of
// its owner that shows only the rectangle's outline and marks, so the inside
// of the rectangle lets the pointer through to the picture.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include "ui/clip_editor/rules/crop_model.h"

class IDrawPanelEvent {
 public:
  virtual ~IDrawPanelEvent() = default;
  // The rectangle changed during a drag (source pixels).
  virtual void OnRectChanged(float x, float y, float width, float height) = 0;
  // The rectangle is drawn anew (moved, resized, or set by the owner): what
  // lies under its old place shows again.
  virtual void OnRectRedrawn() {}
};

class CVideoDrawPanel : public QWidget {
  Q_OBJECT

 public:
  CVideoDrawPanel(IDrawPanelEvent* listener, int videoWidth, int videoHeight, QWidget* owner);

  // Lies over `area` (the owner's coordinates) from now on. False when the
  // area is empty.
  bool SetArea(const QRect& area);
  // The owner moved: lie over the area again (a child window moves along).
  void FollowOwner();
  // Shows the rectangle as it now is.
  void Redraw();
  float scale() const { return model_.scale(); }
  // Whether the desktop blends windows, so the panel may be see-through.
  static bool Composited();

  // The rectangle (source pixels) and the kept ratio; the owner changes them,
  // then calls Redraw.
  player::CropModel& model() { return model_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The rectangle on screen, in the panel's pixels.
  QRect ScreenRect() const;
  // Without a compositor a translucent window shows black: the panel is then
  // cut down to the rectangle's outline and marks.
  void UpdateMask();

  IDrawPanelEvent* listener_;
  QPointer<QWidget> owner_;
  player::CropModel model_;
  QRect area_;
  bool seeThrough_;
};
