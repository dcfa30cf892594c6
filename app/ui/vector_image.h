// Vector pictures of the skin: a small subset of SVG, drawn with QPainter at
// whatever size and scale a control needs, so icons stay sharp at every
// desktop scale.
//
// Understood: <svg> (width, height, viewBox), <g>, <path> (every command,
// arcs included), <rect> (rx, ry), <circle>, <ellipse>, <line>, <polyline>,
// <polygon>, <linearGradient> with <stop> (inside or outside <defs>); the
// attributes fill, stroke, stroke-width, stroke-linecap, stroke-linejoin,
// fill-rule, opacity, fill-opacity, stroke-opacity, transform (matrix,
// translate, scale, rotate) and the same names inside style="…". The colour
// "currentColor" takes the colour given at drawing time. Everything else is
// skipped.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QGradientStops>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QPainter;

namespace app {

class VectorImage {
 public:
  // Null when the text is not an <svg> document.
  static std::shared_ptr<const VectorImage> Parse(const QByteArray& svg);

  // The picture's own coordinate space (the viewBox, else 0,0,width,height).
  QRectF viewBox() const { return viewBox_; }

  // Draws the part `source` of the picture (in viewBox units; an empty rect
  // means all of it) stretched into `target`.
  void Render(QPainter* painter, const QRectF& target, const QRectF& source = QRectF(),
              const QColor& currentColor = Qt::black) const;

 private:
  struct Paint {
    enum Kind { kNone, kColor, kCurrent, kGradient } kind = kNone;
    QColor color;
    QString gradient;  // id
  };
  struct Shape {
    QPainterPath path;  // in viewBox units
    Paint fill, stroke;
    double strokeWidth = 1;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    double fillOpacity = 1, strokeOpacity = 1;
  };
  struct Gradient {
    QPointF from, to;
    bool userSpace = false;  // else relative to the shape's bounds
    QGradientStops stops;
  };
  struct Parser;

  QBrush BrushFor(const Paint& paint, double opacity, const QRectF& bounds,
                  const QColor& currentColor) const;

  QRectF viewBox_;
  std::vector<Shape> shapes_;
  std::map<QString, Gradient> gradients_;
};

// Path data of SVG ("M10 10 h5 a2 2 0 0 1 2 2 z") as a painter path; parsing
// stops at the first error, keeping what came before.
QPainterPath ParseSvgPathData(const QString& data);

}  // namespace app
