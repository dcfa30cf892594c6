#include "app/ui/skin_image.h"

#include <QAbstractButton>
#include <QFile>
#include <QIconEngine>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

#include <cmath>
#include <map>

#include "app/ui/skin.h"

namespace app {

// An SVG document drawn by Qt's renderer. Icons drawn in "currentColor" take
// the colour of the control (opaque; no colour asked for: black): the word is
// replaced in the document before it is rendered, one renderer per colour.
class SvgPicture {
 public:
  // Null when Qt cannot read the document.
  static std::shared_ptr<const SvgPicture> Load(const QByteArray& svg) {
    auto picture = std::shared_ptr<SvgPicture>(new SvgPicture(svg));
    QSvgRenderer* plain = picture->RendererFor(QColor());
    if (!plain->isValid()) return nullptr;
    picture->viewBox_ = plain->viewBoxF();
    return picture;
  }

  QRectF viewBox() const { return viewBox_; }

  // Draws the part `source` (in viewBox units; empty: all of it) stretched
  // into `target`.
  void Render(QPainter* painter, const QRectF& target, const QRectF& source,
              const QColor& currentColor) const {
    QSvgRenderer* renderer = RendererFor(currentColor);
    renderer->setViewBox(source.isEmpty() ? viewBox_ : source);
    renderer->render(painter, target);
  }

 private:
  explicit SvgPicture(QByteArray svg)
      : svg_(std::move(svg)), usesCurrentColor_(svg_.contains("currentColor")) {}

  QSvgRenderer* RendererFor(const QColor& color) const {
    const QRgb key = !usesCurrentColor_ ? 0 : color.isValid() ? color.rgb() : qRgb(0, 0, 0);
    std::unique_ptr<QSvgRenderer>& renderer = renderers_[key];
    if (!renderer) {
      QByteArray text = svg_;
      if (usesCurrentColor_)
        text.replace("currentColor", QColor(key).name(QColor::HexRgb).toLatin1());
      renderer = std::make_unique<QSvgRenderer>(text);
    }
    return renderer.get();
  }

  QByteArray svg_;
  bool usesCurrentColor_;
  QRectF viewBox_;
  mutable std::map<QRgb, std::unique_ptr<QSvgRenderer>> renderers_;  // UI thread only
};

namespace {

struct PictureCache {
  std::map<QString, std::shared_ptr<const SvgPicture>> vectors;
  std::map<QString, QImage> rasters;
};

PictureCache& Cache() {
  static PictureCache cache;  // UI thread only
  return cache;
}

std::shared_ptr<const SvgPicture> LoadVector(const QString& path) {
  auto& vectors = Cache().vectors;
  auto it = vectors.find(path);
  if (it != vectors.end()) return it->second;
  std::shared_ptr<const SvgPicture> image;
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) image = SvgPicture::Load(file.readAll());
  vectors[path] = image;
  return image;
}

QImage LoadSkinRaster(const QString& path) {
  auto& rasters = Cache().rasters;
  auto it = rasters.find(path);
  if (it != rasters.end()) return it->second;
  QImage image(path);
  rasters[path] = image;
  return image;
}

QImage LoadFileRaster(const QString& path, QSize maxDevicePixels) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (maxDevicePixels.isValid() && size.isValid() &&
      (size.width() > maxDevicePixels.width() || size.height() > maxDevicePixels.height())) {
    // Read smaller at once; the result still covers the whole box.
    reader.setScaledSize(size.scaled(maxDevicePixels, Qt::KeepAspectRatioByExpanding));
  }
  return reader.read();
}

QRectF FitRect(const QSizeF& picture, const QRectF& target, ImageFit fit) {
  if (fit == ImageFit::kStretch || picture.isEmpty()) return target;
  QSizeF size =
      picture.scaled(target.size(), fit == ImageFit::kContain ? Qt::KeepAspectRatio
                                                              : Qt::KeepAspectRatioByExpanding);
  QRectF r(QPointF(), size);
  r.moveCenter(target.center());
  return r;
}

class SkinIconEngine : public QIconEngine {
 public:
  SkinIconEngine(SkinPicture picture, IconColors colors)
      : picture_(std::move(picture)), colors_(std::move(colors)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    picture_.Paint(painter, rect, ImageFit::kContain, ColorFor(mode, state));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // `size` is in device pixels already: the picture is drawn for them.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    if (size.isEmpty()) return QPixmap();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      picture_.Paint(&p, QRectF(QPointF(), size), ImageFit::kContain, ColorFor(mode, state));
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QIconEngine* clone() const override { return new SkinIconEngine(picture_, colors_); }
  QString key() const override { return QStringLiteral("pelmar-skin"); }
  bool isNull() override { return picture_.IsNull(); }

 private:
  QColor ColorFor(QIcon::Mode mode, QIcon::State state) const {
    if (mode == QIcon::Disabled && colors_.disabled.isValid()) return colors_.disabled;
    if (state == QIcon::On && colors_.checked.isValid()) return colors_.checked;
    if ((mode == QIcon::Active || mode == QIcon::Selected) && colors_.active.isValid())
      return colors_.active;
    return colors_.normal;
  }

  SkinPicture picture_;
  IconColors colors_;
};

}  // namespace

ImageFit ImageFitFromName(const QString& name) {
  if (name == QLatin1String("stretch")) return ImageFit::kStretch;
  if (name == QLatin1String("cover")) return ImageFit::kCover;
  return ImageFit::kContain;
}

SkinPicture SkinPicture::Load(const ImageString& named, QSize maxDevicePixels) {
  SkinPicture picture;
  if (named.IsEmpty()) return picture;
  if (named.fullPath) {
    if (named.file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
      QFile file(named.file);
      if (file.open(QIODevice::ReadOnly)) picture.vector_ = SvgPicture::Load(file.readAll());
    } else {
      picture.raster_ =
          LoadFileRaster(named.file, named.source.isNull() ? maxDevicePixels : QSize());
    }
  } else {
    const QString path = ResolveSkinPicture(named.file);
    if (path.endsWith(QLatin1String(".svg"))) {
      picture.vector_ = LoadVector(path);
    } else if (!path.isEmpty()) {
      picture.raster_ = LoadSkinRaster(path);
    }
  }
  if (!named.source.isNull()) picture.source_ = QRectF(named.source);
  return picture;
}

QSizeF SkinPicture::NaturalSize() const {
  if (!source_.isEmpty()) return source_.size();
  if (vector_) return vector_->viewBox().size();
  return QSizeF(raster_.size());
}

void SkinPicture::Paint(QPainter* painter, const QRectF& target, ImageFit fit,
                        const QColor& currentColor) const {
  if (IsNull() || target.isEmpty()) return;
  const QRectF place = FitRect(NaturalSize(), target, fit);
  painter->save();
  painter->setClipRect(target, Qt::IntersectClip);
  if (vector_) {
    vector_->Render(painter, place, source_, currentColor);
  } else {
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(place, raster_, source_.isEmpty() ? QRectF(raster_.rect()) : source_);
  }
  painter->restore();
}

void ClearSkinPictureCache() {
  Cache().vectors.clear();
  Cache().rasters.clear();
}

IconColors IconColorsOf(const QWidget* widget) {
  IconColors colors;
  auto read = [&](const char* name, QColor* out) {
    const QVariant v = widget->property(name);
    if (v.isValid()) *out = QColor::fromString(v.toString());
  };
  read("iconColor", &colors.normal);
  read("iconColorChecked", &colors.checked);
  read("iconColorDisabled", &colors.disabled);
  read("iconColorHover", &colors.active);
  return colors;
}

QIcon SkinIcon(const ImageString& named, const IconColors& colors) {
  SkinPicture picture = SkinPicture::Load(named);
  if (picture.IsNull()) return QIcon();
  return QIcon(new SkinIconEngine(std::move(picture), colors));
}

bool SetControlImage(QWidget* control, const QString& imageString) {
  if (!control) return false;
  const int bk = control->metaObject()->indexOfProperty("bkimage");
  if (bk >= 0) {
    control->setProperty("bkimage", imageString);
    return imageString.isEmpty() || control->property("hasImage").toBool();
  }
  const ImageString named = ParseImageString(imageString);
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QIcon icon = named.IsEmpty() ? QIcon() : SkinIcon(named, IconColorsOf(button));
    button->setIcon(icon);
    return named.IsEmpty() || !icon.isNull();
  }
  if (auto* label = qobject_cast<QLabel*>(control)) {
    if (named.IsEmpty()) {
      label->setPixmap(QPixmap());
      return true;
    }
    const SkinPicture picture = SkinPicture::Load(named);
    if (picture.IsNull()) return false;
    const qreal dpr = label->devicePixelRatioF();
    QSizeF size = label->size().isEmpty() ? picture.NaturalSize() : QSizeF(label->size());
    QImage image((size * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      picture.Paint(&p, QRectF(QPointF(), image.size()), ImageFit::kContain,
                    label->palette().color(label->foregroundRole()));
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    label->setPixmap(pixmap);
    return true;
  }
  return false;
}

}  // namespace app
