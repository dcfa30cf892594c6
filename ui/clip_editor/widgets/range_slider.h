// The clip editor's two-thumb slider for the kept time range, made by the
// layout loader for the class name "RangeSlider". Skin attributes come as
// properties of the layout (thumbimage, value1, max, thumbsize, …).
#pragma once

#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "app/ui/image_string.h"
#include "ui/clip_editor/rules/range_slider_model.h"

class CRangeSliderUI : public QWidget {
  Q_OBJECT

 public:
  static constexpr unsigned kThumbHot = player::RangeSliderModel::kThumbHot;
  static constexpr unsigned kThumbCaptured = player::RangeSliderModel::kThumbCaptured;

  explicit CRangeSliderUI(QWidget* parent = nullptr);

  int GetValue(int index) const { return model_.value[index ? 1 : 0]; }
  void SetValue(int value, int index);  // repaints, reports nothing
  int GetMax() const { return model_.maximum; }
  void SetMax(int maximum);
  int GetMin() const { return model_.minimum; }
  void SetMin(int minimum);
  unsigned GetThumbFlags(int index) const { return model_.flags[index ? 1 : 0]; }
  // Where a thumb is drawn now, in the control's pixels.
  QRect ThumbRect(int index) const;
  void SetAttribute(const QString& name, const QString& value);

 signals:
  // "valuechanged" when a drag ends.
  void notify(QString type, QVariant value);
  // Every pointer move while a thumb is held (0: the first thumb), after the
  // move was applied or refused: the editor follows the drag live.
  void thumbDragged(int index);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The track spans the control's whole width, whatever its size now.
  void TakeSize();
  bool OverThumb(const QPoint& p) const;

  player::RangeSliderModel model_;
  QString thumbImages_[2][3];  // normal, hot, pushed
  QString foreground_;
};

// Lets layouts name "RangeSlider".
void RegisterRangeSlider();
