#include "ui/clip_editor/media_display.h"

#include <QResizeEvent>

#include <cmath>

#include "app/ui/layout.h"

WndMediaDisplay::WndMediaDisplay(QWidget* parent) : QWidget(parent) {
  // A window of its own that Qt leaves alone: SDL draws into it from another
  // thread, and anything Qt painted would cover the picture.
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void WndMediaDisplay::SetControl(player::PlayerControl* control) {
  control_ = control;
  TellSize();
}

void WndMediaDisplay::TellSize() {
  if (!control_ || width() <= 0 || height() <= 0) return;
  const qreal ratio = devicePixelRatioF();
  control_->RequestWindowSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
}

void WndMediaDisplay::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  TellSize();
}

void WndMediaDisplay::paintEvent(QPaintEvent*) {
  if (control_) control_->redrawRequested = true;
}

void RegisterMediaDisplay() {
  app::RegisterControlFactory(QStringLiteral("WndMediaDisplay"),
                              [](QWidget* parent) { return new WndMediaDisplay(parent); });
}
