#include "app/ui/vector_image.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTransform>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace app {
namespace {

// Reads numbers and flags off an SVG attribute text ("10,-2.5e1 .5.5").
class NumberReader {
 public:
  explicit NumberReader(const QString& text) : s_(text) {}

  void SkipSeparators() {
    while (i_ < s_.size() && (s_[i_].isSpace() || s_[i_] == ',')) ++i_;
  }
  bool AtEnd() {
    SkipSeparators();
    return i_ >= s_.size();
  }
  QChar Peek() {
    SkipSeparators();
    return i_ < s_.size() ? s_[i_] : QChar();
  }
  bool PeekIsNumber() {
    QChar c = Peek();
    return c.isDigit() || c == '-' || c == '+' || c == '.';
  }
  QChar TakeChar() { return i_ < s_.size() ? s_[i_++] : QChar(); }

  bool Number(double* out) {
    SkipSeparators();
    const int start = i_;
    if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) ++i_;
    bool digits = false, dot = false;
    while (i_ < s_.size()) {
      if (s_[i_].isDigit()) {
        digits = true;
      } else if (s_[i_] == '.' && !dot) {
        dot = true;
      } else {
        break;
      }
      ++i_;
    }
    if (!digits) {
      i_ = start;
      return false;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      int save = i_++;
      if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) ++i_;
      if (i_ < s_.size() && s_[i_].isDigit()) {
        while (i_ < s_.size() && s_[i_].isDigit()) ++i_;
      } else {
        i_ = save;
      }
    }
    bool ok = false;
    *out = s_.mid(start, i_ - start).toDouble(&ok);
    return ok;
  }

  // An arc flag: a single '0' or '1', which may stand right before the next number.
  bool Flag(bool* out) {
    SkipSeparators();
    if (i_ < s_.size() && (s_[i_] == '0' || s_[i_] == '1')) {
      *out = s_[i_++] == '1';
      return true;
    }
    return false;
  }

 private:
  QString s_;
  int i_ = 0;
};

constexpr double kPi = 3.14159265358979323846;

// An elliptical arc as cubic curves, following the endpoint-to-centre
// conversion of the SVG path rules.
void ArcTo(QPainterPath* path, QPointF from, double rx, double ry, double angleDeg, bool large,
           bool sweep, QPointF to) {
  if (from == to) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0 || ry == 0) {
    path->lineTo(to);
    return;
  }
  const double phi = angleDeg * kPi / 180.0;
  const double c = std::cos(phi), s = std::sin(phi);
  const double dx = (from.x() - to.x()) / 2, dy = (from.y() - to.y()) / 2;
  const double x1 = c * dx + s * dy, y1 = -s * dx + c * dy;
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1) {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }
  const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
  const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
  double coef = den == 0 ? 0 : std::sqrt(std::max(0.0, num / den));
  if (large == sweep) coef = -coef;
  const double cxp = coef * rx * y1 / ry, cyp = -coef * ry * x1 / rx;
  const double cx = c * cxp - s * cyp + (from.x() + to.x()) / 2;
  const double cy = s * cxp + c * cyp + (from.y() + to.y()) / 2;
  const double start = std::atan2((y1 - cyp) / ry, (x1 - cxp) / rx);
  double delta = std::atan2((-y1 - cyp) / ry, (-x1 - cxp) / rx) - start;
  if (sweep && delta < 0) delta += 2 * kPi;
  if (!sweep && delta > 0) delta -= 2 * kPi;

  auto map = [&](double ux, double uy) {
    return QPointF(cx + rx * ux * c - ry * uy * s, cy + rx * ux * s + ry * uy * c);
  };
  const int segments =
      std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (kPi / 2) - 1e-9)));
  const double step = delta / segments;
  const double t = 4.0 / 3.0 * std::tan(step / 4);
  double a = start;
  for (int i = 0; i < segments; ++i) {
    const double b = a + step;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const QPointF end = i == segments - 1 ? to : map(cb, sb);
    path->cubicTo(map(ca - t * sa, sa + t * ca), map(cb + t * sb, sb - t * cb), end);
    a = b;
  }
}

QTransform ParseTransform(const QString& text) {
  QTransform result;
  int i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i].isSpace() || text[i] == ',')) ++i;
    int open = text.indexOf('(', i), close = text.indexOf(')', open);
    if (open < 0 || close < 0) break;
    const QString name = text.mid(i, open - i).trimmed();
    NumberReader r(text.mid(open + 1, close - open - 1));
    std::vector<double> v;
    double n;
    while (r.Number(&n)) v.push_back(n);
    QTransform t;
    if (name == "matrix" && v.size() == 6) {
      t = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
    } else if (name == "translate" && !v.empty()) {
      t.translate(v[0], v.size() > 1 ? v[1] : 0);
    } else if (name == "scale" && !v.empty()) {
      t.scale(v[0], v.size() > 1 ? v[1] : v[0]);
    } else if (name == "rotate" && !v.empty()) {
      if (v.size() == 3) t.translate(v[1], v[2]);
      t.rotate(v[0]);
      if (v.size() == 3) t.translate(-v[1], -v[2]);
    }
    result = t * result;  // the leftmost transform applies last
    i = close + 1;
  }
  return result;
}

double ParseLength(const QString& text, double fallback) {
  NumberReader r(text);
  double v;
  return r.Number(&v) ? v : fallback;
}

// "0.5" or "50%".
double ParseFraction(const QString& text) {
  const QString v = text.trimmed();
  return v.endsWith('%') ? ParseLength(v.chopped(1), 0) / 100 : ParseLength(v, 0);
}

using Attributes = std::map<QString, QString>;

QString Attr(const Attributes& attrs, const char* name, const QString& fallback = QString()) {
  auto it = attrs.find(QString::fromLatin1(name));
  return it == attrs.end() ? fallback : it->second;
}

}  // namespace

QPainterPath ParseSvgPathData(const QString& data) {
  QPainterPath path;
  NumberReader r(data);
  QPointF cur, start, lastControl;
  QChar cmd, prev;
  while (!r.AtEnd()) {
    if (!r.PeekIsNumber()) {
      cmd = r.TakeChar();
    } else if (cmd.isNull()) {
      break;
    }
    const bool rel = cmd.isLower();
    const QPointF base = rel ? cur : QPointF();
    const QChar up = cmd.toUpper();
    double a[7];
    auto numbers = [&](int n) {
      for (int k = 0; k < n; ++k)
        if (!r.Number(&a[k])) return false;
      return true;
    };
    bool ok = true;
    if (up == 'Z') {
      path.closeSubpath();
      cur = start;
      // The next number, if any, needs a command of its own.
      prev = cmd;
      cmd = QChar();
      lastControl = cur;
      continue;
    } else if (up == 'M') {
      if ((ok = numbers(2))) {
        cur = base + QPointF(a[0], a[1]);
        path.moveTo(cur);
        start = cur;
        cmd = rel ? 'l' : 'L';  // further pairs are lines
      }
    } else if (up == 'L') {
      if ((ok = numbers(2))) path.lineTo(cur = base + QPointF(a[0], a[1]));
    } else if (up == 'H') {
      if ((ok = numbers(1))) path.lineTo(cur = QPointF(rel ? cur.x() + a[0] : a[0], cur.y()));
    } else if (up == 'V') {
      if ((ok = numbers(1))) path.lineTo(cur = QPointF(cur.x(), rel ? cur.y() + a[0] : a[0]));
    } else if (up == 'C') {
      if ((ok = numbers(6))) {
        lastControl = base + QPointF(a[2], a[3]);
        path.cubicTo(base + QPointF(a[0], a[1]), lastControl, cur = base + QPointF(a[4], a[5]));
      }
    } else if (up == 'S') {
      if ((ok = numbers(4))) {
        const QChar p = prev.toUpper();
        QPointF c1 = (p == 'C' || p == 'S') ? 2 * cur - lastControl : cur;
        lastControl = base + QPointF(a[0], a[1]);
        path.cubicTo(c1, lastControl, cur = base + QPointF(a[2], a[3]));
      }
    } else if (up == 'Q') {
      if ((ok = numbers(4))) {
        lastControl = base + QPointF(a[0], a[1]);
        path.quadTo(lastControl, cur = base + QPointF(a[2], a[3]));
      }
    } else if (up == 'T') {
      if ((ok = numbers(2))) {
        const QChar p = prev.toUpper();
        lastControl = (p == 'Q' || p == 'T') ? 2 * cur - lastControl : cur;
        path.quadTo(lastControl, cur = base + QPointF(a[0], a[1]));
      }
    } else if (up == 'A') {
      bool large = false, sweep = false;
      ok = r.Number(&a[0]) && r.Number(&a[1]) && r.Number(&a[2]) && r.Flag(&large) &&
           r.Flag(&sweep) && r.Number(&a[3]) && r.Number(&a[4]);
      if (ok) {
        QPointF to = base + QPointF(a[3], a[4]);
        ArcTo(&path, cur, a[0], a[1], a[2], large, sweep, to);
        cur = to;
      }
    } else {
      ok = false;
    }
    if (!ok) break;
    prev = cmd;
    if (up != 'C' && up != 'S' && up != 'Q' && up != 'T') lastControl = cur;
  }
  return path;
}

struct VectorImage::Parser {
  struct Style {
    Paint fill{Paint::kColor, Qt::black, {}};
    Paint stroke;
    double strokeWidth = 1;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    Qt::FillRule fillRule = Qt::WindingFill;
    double opacity = 1, fillOpacity = 1, strokeOpacity = 1;
    QTransform transform;
  };

  Parser(VectorImage* target, const QByteArray& svg) : image(target), xml(svg) {}

  VectorImage* image;
  QXmlStreamReader xml;
  std::vector<Style> styles;  // one per open element
  std::vector<QString> open;  // the open elements' names
  QString gradientId;         // the <linearGradient> being read

  static Paint ParsePaint(const QString& text, const Paint& inherited) {
    const QString v = text.trimmed();
    if (v.isEmpty() || v == "inherit") return inherited;
    if (v == "none") return Paint{};
    if (v == "currentColor") return Paint{Paint::kCurrent, {}, {}};
    if (v.startsWith("url(")) {
      QString id = v.mid(4, v.indexOf(')') - 4).trimmed();
      if (id.startsWith('#')) id.remove(0, 1);
      return Paint{Paint::kGradient, {}, id};
    }
    QColor c = QColor::fromString(v);
    return c.isValid() ? Paint{Paint::kColor, c, {}} : inherited;
  }

  // The attributes of an element with the "style" declarations over them.
  static Attributes Properties(const QXmlStreamAttributes& attrs) {
    Attributes props;
    for (const QXmlStreamAttribute& a : attrs) props[a.name().toString()] = a.value().toString();
    auto style = props.find("style");
    if (style != props.end()) {
      for (const QString& decl : style->second.split(';', Qt::SkipEmptyParts)) {
        int colon = decl.indexOf(':');
        if (colon > 0) props[decl.left(colon).trimmed()] = decl.mid(colon + 1).trimmed();
      }
    }
    return props;
  }

  Style Inherit(const Attributes& p) const {
    Style s = styles.back();
    auto get = [&](const char* name) { return Attr(p, name); };
    s.fill = ParsePaint(get("fill"), s.fill);
    s.stroke = ParsePaint(get("stroke"), s.stroke);
    s.strokeWidth = ParseLength(get("stroke-width"), s.strokeWidth);
    const QString cap = get("stroke-linecap");
    if (cap == "round") s.cap = Qt::RoundCap;
    if (cap == "square") s.cap = Qt::SquareCap;
    if (cap == "butt") s.cap = Qt::FlatCap;
    const QString join = get("stroke-linejoin");
    if (join == "round") s.join = Qt::RoundJoin;
    if (join == "bevel") s.join = Qt::BevelJoin;
    if (join == "miter") s.join = Qt::MiterJoin;
    const QString rule = get("fill-rule");
    if (rule == "evenodd") s.fillRule = Qt::OddEvenFill;
    if (rule == "nonzero") s.fillRule = Qt::WindingFill;
    s.opacity *= ParseLength(get("opacity"), 1);
    s.fillOpacity = ParseLength(get("fill-opacity"), s.fillOpacity);
    s.strokeOpacity = ParseLength(get("stroke-opacity"), s.strokeOpacity);
    const QString t = get("transform");
    if (!t.isEmpty()) s.transform = ParseTransform(t) * s.transform;
    return s;
  }

  static QPainterPath ShapePath(const QString& tag, const Attributes& p) {
    auto num = [&](const char* name) { return ParseLength(Attr(p, name), 0); };
    auto has = [&](const char* name) { return p.count(QString::fromLatin1(name)) > 0; };
    QPainterPath path;
    if (tag == "path") {
      path = ParseSvgPathData(Attr(p, "d"));
    } else if (tag == "rect") {
      double rx = num("rx"), ry = num("ry");
      if (!has("rx")) rx = ry;
      if (!has("ry")) ry = rx;
      const QRectF r(num("x"), num("y"), num("width"), num("height"));
      if (rx > 0 || ry > 0) {
        path.addRoundedRect(r, std::min(rx, r.width() / 2), std::min(ry, r.height() / 2));
      } else {
        path.addRect(r);
      }
    } else if (tag == "circle") {
      path.addEllipse(QPointF(num("cx"), num("cy")), num("r"), num("r"));
    } else if (tag == "ellipse") {
      path.addEllipse(QPointF(num("cx"), num("cy")), num("rx"), num("ry"));
    } else if (tag == "line") {
      path.moveTo(num("x1"), num("y1"));
      path.lineTo(num("x2"), num("y2"));
    } else if (tag == "polyline" || tag == "polygon") {
      NumberReader r(Attr(p, "points"));
      double x, y;
      bool first = true;
      while (r.Number(&x) && r.Number(&y)) {
        if (first) {
          path.moveTo(x, y);
        } else {
          path.lineTo(x, y);
        }
        first = false;
      }
      if (tag == "polygon" && !first) path.closeSubpath();
    }
    return path;
  }

  void AddShape(const QString& tag, const Attributes& props) {
    const Style s = Inherit(props);
    QPainterPath path = ShapePath(tag, props);
    if (path.isEmpty()) return;
    path.setFillRule(s.fillRule);
    Shape shape;
    shape.path = s.transform.map(path);
    shape.fill = s.fill;
    shape.stroke = s.stroke;
    shape.strokeWidth = s.strokeWidth * std::sqrt(std::fabs(s.transform.determinant()));
    shape.cap = s.cap;
    shape.join = s.join;
    shape.fillOpacity = s.fillOpacity * s.opacity;
    shape.strokeOpacity = s.strokeOpacity * s.opacity;
    image->shapes_.push_back(std::move(shape));
  }

  void ReadGradient(const Attributes& p) {
    auto coord = [&](const char* name, const char* fallback) {
      return ParseFraction(Attr(p, name, QString::fromLatin1(fallback)));
    };
    Gradient g;
    g.from = QPointF(coord("x1", "0"), coord("y1", "0"));
    g.to = QPointF(coord("x2", "1"), coord("y2", "0"));
    g.userSpace = Attr(p, "gradientUnits") == "userSpaceOnUse";
    gradientId = Attr(p, "id");
    image->gradients_[gradientId] = g;
  }

  void ReadStop(const Attributes& p) {
    auto it = image->gradients_.find(gradientId);
    if (it == image->gradients_.end()) return;
    QColor c = QColor::fromString(Attr(p, "stop-color").trimmed());
    if (!c.isValid()) c = Qt::black;
    c.setAlphaF(c.alphaF() * ParseLength(Attr(p, "stop-opacity"), 1));
    it->second.stops.append({std::clamp(ParseFraction(Attr(p, "offset")), 0.0, 1.0), c});
  }

  void Open(const QString& tag, const Style& style) {
    open.push_back(tag);
    styles.push_back(style);
  }

  // Shapes inside <defs> are templates, never drawn; this subset has no <use>.
  bool InDefs() const { return std::find(open.begin(), open.end(), "defs") != open.end(); }

  bool Run() {
    styles.push_back(Style{});
    bool seenRoot = false;
    int skipDepth = 0;
    while (!xml.atEnd()) {
      const QXmlStreamReader::TokenType token = xml.readNext();
      if (token == QXmlStreamReader::EndElement) {
        if (skipDepth > 0) {
          --skipDepth;
        } else if (!open.empty()) {
          open.pop_back();
          styles.pop_back();
        }
        continue;
      }
      if (token != QXmlStreamReader::StartElement) continue;
      if (skipDepth > 0) {
        ++skipDepth;
        continue;
      }
      const QString tag = xml.name().toString();
      const Attributes props = Properties(xml.attributes());
      if (!seenRoot) {
        if (tag != "svg") return false;
        seenRoot = true;
        NumberReader vb(Attr(props, "viewBox"));
        double v[4];
        if (vb.Number(&v[0]) && vb.Number(&v[1]) && vb.Number(&v[2]) && vb.Number(&v[3])) {
          image->viewBox_ = QRectF(v[0], v[1], v[2], v[3]);
        } else {
          image->viewBox_ = QRectF(0, 0, ParseLength(Attr(props, "width"), 0),
                                   ParseLength(Attr(props, "height"), 0));
        }
        Open(tag, Inherit(props));
        continue;
      }
      if (tag == "g" || tag == "defs") {
        Open(tag, Inherit(props));
      } else if (tag == "linearGradient") {
        ReadGradient(props);
        Open(tag, styles.back());
      } else if (tag == "stop") {
        ReadStop(props);
        Open(tag, styles.back());
      } else if (tag == "path" || tag == "rect" || tag == "circle" || tag == "ellipse" ||
                 tag == "line" || tag == "polyline" || tag == "polygon") {
        if (!InDefs()) AddShape(tag, props);
        Open(tag, styles.back());
      } else {
        skipDepth = 1;  // not understood: skipped with everything inside
      }
    }
    return seenRoot && !xml.hasError() && image->viewBox_.isValid();
  }
};

std::shared_ptr<const VectorImage> VectorImage::Parse(const QByteArray& svg) {
  auto image = std::make_shared<VectorImage>();
  Parser parser(image.get(), svg);
  if (!parser.Run()) return nullptr;
  return image;
}

QBrush VectorImage::BrushFor(const Paint& paint, double opacity, const QRectF& bounds,
                             const QColor& currentColor) const {
  QColor color;
  switch (paint.kind) {
    case Paint::kNone:
      return Qt::NoBrush;
    case Paint::kColor:
      color = paint.color;
      break;
    case Paint::kCurrent:
      color = currentColor;
      break;
    case Paint::kGradient: {
      auto it = gradients_.find(paint.gradient);
      if (it == gradients_.end()) return Qt::NoBrush;
      const Gradient& g = it->second;
      auto place = [&](QPointF p) {
        return g.userSpace ? p
                           : QPointF(bounds.left() + p.x() * bounds.width(),
                                     bounds.top() + p.y() * bounds.height());
      };
      QLinearGradient lg(place(g.from), place(g.to));
      QGradientStops stops = g.stops;
      for (QGradientStop& s : stops) s.second.setAlphaF(s.second.alphaF() * opacity);
      lg.setStops(stops);
      return QBrush(lg);
    }
  }
  color.setAlphaF(color.alphaF() * opacity);
  return QBrush(color);
}

void VectorImage::Render(QPainter* painter, const QRectF& target, const QRectF& source,
                         const QColor& currentColor) const {
  const QRectF from = source.isEmpty() ? viewBox_ : source;
  if (from.isEmpty() || target.isEmpty()) return;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setClipRect(target, Qt::IntersectClip);
  painter->translate(target.topLeft());
  painter->scale(target.width() / from.width(), target.height() / from.height());
  painter->translate(-from.topLeft());
  for (const Shape& shape : shapes_) {
    const QRectF bounds = shape.path.boundingRect();
    QBrush fill = BrushFor(shape.fill, shape.fillOpacity, bounds, currentColor);
    if (fill.style() != Qt::NoBrush) painter->fillPath(shape.path, fill);
    QBrush stroke = BrushFor(shape.stroke, shape.strokeOpacity, bounds, currentColor);
    if (stroke.style() != Qt::NoBrush && shape.strokeWidth > 0) {
      painter->strokePath(shape.path,
                          QPen(stroke, shape.strokeWidth, Qt::SolidLine, shape.cap, shape.join));
    }
  }
  painter->restore();
}

}  // namespace app
