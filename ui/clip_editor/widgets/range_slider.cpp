#include "ui/clip_editor/widgets/range_slider.h"

#include <QDynamicPropertyChangeEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/ui/layout.h"
#include "app/ui/skin_image.h"

CRangeSliderUI::CRangeSliderUI(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);  // the hand over a thumb
  setMinimumHeight(12);
}

void CRangeSliderUI::SetValue(int value, int index) {
  model_.value[index ? 1 : 0] = value;
  update();
}

void CRangeSliderUI::SetMax(int maximum) {
  model_.maximum = maximum;
  update();
}

void CRangeSliderUI::SetMin(int minimum) {
  model_.minimum = minimum;
  update();
}

void CRangeSliderUI::SetAttribute(const QString& name, const QString& value) {
  static const char* const kImages[2][3] = {
      {"thumbimage", "thumbhotimage", "thumbpushedimage"},
      {"thumbimage2", "thumbhotimage2", "thumbpushedimage2"}};
  for (int t = 0; t < 2; ++t) {
    for (int k = 0; k < 3; ++k) {
      if (name == kImages[t][k]) {
        thumbImages_[t][k] = value;
        update();
        return;
      }
    }
  }
  if (name == "value1") SetValue(value.toInt(), 0);
  else if (name == "value2") SetValue(value.toInt(), 1);
  else if (name == "min") SetMin(value.toInt());
  else if (name == "max") SetMax(value.toInt());
  else if (name == "fgimage" && value != foreground_) foreground_ = value, update();
  else if (name == "thumbsize") {
    const QStringList parts = value.split(',');
    if (parts.size() == 2) {
      for (int t = 0; t < 2; ++t) {
        model_.thumbWidth[t] = parts[0].trimmed().toInt();
        model_.thumbHeight[t] = parts[1].trimmed().toInt();
      }
      update();
    }
  }
}

bool CRangeSliderUI::event(QEvent* event) {
  if (event->type() == QEvent::DynamicPropertyChange) {
    const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName();
    SetAttribute(QString::fromUtf8(name), property(name.constData()).toString());
  } else if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
    if (isEnabled()) {
      model_.SetHot(event->type() == QEvent::Enter);
      update();
    }
  }
  return QWidget::event(event);
}

void CRangeSliderUI::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) {
    model_.flags[0] = model_.flags[1] = 0;
    update();
  }
  QWidget::changeEvent(event);
}

QRect CRangeSliderUI::ThumbRect(int index) const {
  player::RangeSliderModel model = model_;
  model.bounds = {0, 0, width(), height()};
  const player::SliderRect r = model.Thumb(index ? 1 : 0);
  return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

void CRangeSliderUI::TakeSize() { model_.bounds = {0, 0, width(), height()}; }

bool CRangeSliderUI::OverThumb(const QPoint& p) const {
  return model_.Thumb(0).Contains(p.x(), p.y()) || model_.Thumb(1).Contains(p.x(), p.y());
}

void CRangeSliderUI::mousePressEvent(QMouseEvent* event) {
  TakeSize();
  const QPoint p = event->position().toPoint();
  if (isEnabled() && event->button() == Qt::LeftButton && model_.Press(p.x(), p.y())) update();
}

void CRangeSliderUI::mouseMoveEvent(QMouseEvent* event) {
  TakeSize();
  const QPoint p = event->position().toPoint();
  const int before[2] = {model_.value[0], model_.value[1]};
  const int index = model_.Move(p.x());
  if (index >= 0) {
    if (model_.value[0] != before[0] || model_.value[1] != before[1]) update();
    emit thumbDragged(index);
  }
  setCursor(isEnabled() && OverThumb(p) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CRangeSliderUI::mouseReleaseEvent(QMouseEvent* /*event*/) {
  if (!model_.Release()) return;
  update();
  emit notify(QStringLiteral("valuechanged"), QVariant(model_.value[0]));
}

void CRangeSliderUI::paintEvent(QPaintEvent* /*event*/) {
  TakeSize();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track(0, height() / 2.0 - 2, width(), 4);
  painter.fillRect(track, palette().color(QPalette::Mid));
  const player::SliderRect a = model_.Thumb(0), b = model_.Thumb(1);
  // The kept range, lined up with the thumbs whatever the maximum.
  const QRectF kept(a.left, 0, b.right - a.left, height());
  const app::SkinPicture bar = app::SkinPicture::Load(app::ParseImageString(foreground_));
  if (!bar.IsNull()) bar.Paint(&painter, kept, app::ImageFit::kStretch);
  else painter.fillRect(QRectF(kept.left(), track.top(), kept.width(), track.height()),
                        palette().color(QPalette::Highlight));
  for (int t = 0; t < 2; ++t) {
    const player::SliderRect r = model_.Thumb(t);
    const QRectF rect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    const unsigned f = model_.flags[t];
    const QString& chosen = (f & kThumbCaptured) && !thumbImages_[t][2].isEmpty() ? thumbImages_[t][2]
                            : (f & kThumbHot) && !thumbImages_[t][1].isEmpty() ? thumbImages_[t][1]
                                                                                : thumbImages_[t][0];
    const app::SkinPicture picture = app::SkinPicture::Load(app::ParseImageString(chosen));
    if (!picture.IsNull()) {
      picture.Paint(&painter, rect, app::ImageFit::kContain);
    } else {  // no picture in the skin: a thumb a person still sees and grabs
      painter.setPen(palette().color(QPalette::Dark));
      painter.setBrush(f ? palette().color(QPalette::Highlight) : palette().color(QPalette::Button));
      painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
  }
}

void RegisterRangeSlider() {
  app::RegisterControlFactory(QStringLiteral("RangeSlider"),
                              [](QWidget* parent) { return new CRangeSliderUI(parent); });
}
