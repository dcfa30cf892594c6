#include "ui/clip_editor/rules/crop_model.h"

#include <algorithm>
#include <cmath>

namespace player {

void CropModel::SetArea(int width, int height) {
  areaWidth_ = width;
  areaHeight_ = height;
  if (width >= videoWidth_ && height >= videoHeight_) {
    scale_ = 1.0f;
  } else {
    scale_ = std::min(float(width) / float(videoWidth_), float(height) / float(videoHeight_));
  }
}

CropZone CropModel::ZoneAt(int px, int py) const {
  const float l = crop.x * scale_, t = crop.y * scale_;
  const int r = int(l + crop.width * scale_), b = int(t + crop.height * scale_);
  if (px >= l + 5 && px <= r - 5 && py >= t + 5 && py <= b - 5) return kZoneMove;
  if (px > l - 5 && px < l + 5 && py > t - 5 && py < t + 5) return kZoneTopLeft;
  if (px > l - 5 && px < l + 5 && py > b - 5 && py < b + 5) return kZoneBottomLeft;
  // The top-right mark reaches further in, where it is easiest to grab.
  if (px > r - 10 && px < r + 5 && py > t - 10 && py < t + 5) return kZoneTopRight;
  if (px > r - 5 && px < r + 5 && py > b - 5 && py < b + 5) return kZoneBottomRight;
  return kZoneNone;
}

void CropModel::Clip(int* px, int* py) const {
  *px = std::clamp(*px, 0, areaWidth_);
  *py = std::clamp(*py, 0, areaHeight_);
}

void CropModel::Press(int px, int py) {
  if (px < 0) px = 1;
  if (py < 0) py = 1;
  if (px > areaWidth_) px = areaWidth_ - 1;
  if (py > areaHeight_) py = areaHeight_ - 1;
  if (dragging_) return;
  dragging_ = true;
  anchorX_ = px;
  anchorY_ = py;
  dragMode_ = ZoneAt(px, py);
}

bool CropModel::Move(int px, int py) {
  if (!dragging_) return false;
  Clip(&px, &py);
  const int dx = px - anchorX_, dy = py - anchorY_;
  if (std::sqrt(double(dx) * dx + double(dy) * dy) < 5.0) return false;  // small moves add up
  anchorX_ = px;
  anchorY_ = py;
  const float dX = dx / scale_;
  float dY = dy / scale_;
  const float w = float(videoWidth_), h = float(videoHeight_);
  CropRect& c = crop;
  switch (dragMode_) {
    case kZoneNone:
      return false;
    case kZoneMove:
      c.x += dX;
      if (c.x < 0) c.x = 0;
      else if (c.x + c.width > w) c.x -= dX;
      c.y += dY;
      if (c.y < 0) c.y = 0;
      else if (c.y + c.height > h) c.y -= dY;
      return true;
    default:
      break;
  }
  if (keepRatio && ratio > 0) {
    const bool sameSign = dragMode_ == kZoneTopLeft || dragMode_ == kZoneBottomRight;
    dY = sameSign ? dX / ratio : -dX / ratio;
  }
  switch (dragMode_) {
    case kZoneTopLeft:
      c.x += dX, c.width -= dX, c.y += dY, c.height -= dY;
      break;
    case kZoneBottomLeft:
      c.x += dX, c.width -= dX, c.height += dY;
      break;
    case kZoneTopRight:
      c.y += dY, c.width += dX, c.height -= dY;
      break;
    default:
      c.width += dX, c.height += dY;
      break;
  }
  if (c.x < 0) c.x = 0;
  if (c.y < 0) c.y = 0;
  if (c.x + c.width > w) c.width = w - c.x;
  if (c.y + c.height > h) c.height = h - c.y;
  if (keepRatio && ratio > 0) {
    c.height = c.width / ratio;
    // The kept ratio must not carry the rectangle past the bottom either.
    if (c.y + c.height > h) {
      c.height = h - c.y;
      c.width = c.height * ratio;
    }
  }
  // Whole pixels; the sides are made even when the clip is set on the item.
  c.width = float(int(c.width));
  c.height = float(int(c.height));
  return true;
}

void CropModel::Release() {
  if (!dragging_) return;
  dragging_ = false;
  dragMode_ = kZoneNone;
}

}  // namespace player
