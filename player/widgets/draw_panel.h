// The crop rectangle over the clip editor's picture: a frameless tool window
// that lies exactly over the picture area, shows the rectangle with its four
// corner marks, and lets the user move it and drag its corners.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include "player/clip/crop_model.h"

class IDrawPanelEvent {
 public:
  virtual ~IDrawPanelEvent() = default;
  // The rectangle changed during a drag (source pixels).
  virtual void OnRectChanged(float x, float y, float width, float height) = 0;
};

class CVideoDrawPanel : public QWidget {
  Q_OBJECT

 public:
  CVideoDrawPanel(IDrawPanelEvent* listener, int videoWidth, int videoHeight, QWidget* owner);

  // Lies over `area` (the owner's coordinates) from now on. False when the
  // area is empty.
  bool SetArea(const QRect& area);
  // The owner moved: lie over the area again.
  void FollowOwner();
  // Shows the rectangle as it now is.
  void Redraw();
  float scale() const { return model_.scale(); }

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
