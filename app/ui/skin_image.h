// Pictures named by image strings: loaded from the skin archive or the file
// system, painted into controls, and made into icons that are drawn afresh
// for every size and scale.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <memory>

#include "app/ui/image_string.h"

class QPainter;
class QWidget;

namespace app {

class SvgPicture;

// How a picture fills the rectangle it is given.
enum class ImageFit {
  kStretch,  // both sides
  kContain,  // whole picture, centred, ratio kept
  kCover,    // whole rectangle, centred, ratio kept, the rest cut off
};
ImageFit ImageFitFromName(const QString& name);  // "stretch", "contain", "cover"

class SkinPicture {
 public:
  // The picture of an image string. A file of the file system that is larger
  // than maxDevicePixels is scaled down as it is read (covers: a long list
  // must not hold full-size pictures); skin pictures are shared and cached.
  static SkinPicture Load(const ImageString& named, QSize maxDevicePixels = QSize());

  bool IsNull() const { return !vector_ && raster_.isNull(); }
  bool IsVector() const { return vector_ != nullptr; }
  // The picture's own size (the part `source` picks, when given).
  QSizeF NaturalSize() const;
  // The pixels kept for a raster picture.
  QSize RasterSize() const { return raster_.size(); }

  // Paints into `target`; `currentColor` colours vector pictures that use it.
  void Paint(QPainter* painter, const QRectF& target, ImageFit fit,
             const QColor& currentColor = Qt::black) const;

 private:
  std::shared_ptr<const SvgPicture> vector_;
  QImage raster_;
  QRectF source_;  // in the picture's own units; empty = all
};

// Drops the cached skin pictures (the archive changed).
void ClearSkinPictureCache();

// Colours of a vector icon that uses "currentColor", per state of its button.
struct IconColors {
  QColor normal{0x37, 0x41, 0x51};
  QColor checked;  // invalid: as normal
  QColor disabled{0xA0, 0xA7, 0xB2};
  QColor active;  // hovered; invalid: as normal
};
// The colours a widget asks for with the properties iconColor,
// iconColorChecked, iconColorDisabled and iconColorHover.
IconColors IconColorsOf(const QWidget* widget);

QIcon SkinIcon(const ImageString& named, const IconColors& colors = IconColors());

// Shows a picture on a control: the background of a skin label or frame, the
// icon of a button, the pixmap of a plain label. False for other controls or
// when the picture cannot be loaded; an empty text takes the picture away.
bool SetControlImage(QWidget* control, const QString& imageString);

}  // namespace app
