// The crop rectangle over the editor's picture without any toolkit: the
// scale between screen and source pixels, the zones a pointer may grab, and
// what a drag does to the rectangle. All rectangles are in source pixels.
#pragma once

namespace player {

struct CropRect {
  float x = 0, y = 0, width = 0, height = 0;
};

enum CropZone : int {
  kZoneNone = 0,
  kZoneMove = 1,
  kZoneTopLeft = 2,
  kZoneBottomLeft = 3,
  kZoneTopRight = 4,
  kZoneBottomRight = 5,
};

class CropModel {
 public:
  CropModel(int videoWidth, int videoHeight) : videoWidth_(videoWidth), videoHeight_(videoHeight) {}

  // The picture area's size on screen; the scale fits the whole picture in.
  void SetArea(int width, int height);
  float scale() const { return scale_; }
  int areaWidth() const { return areaWidth_; }
  int areaHeight() const { return areaHeight_; }

  // Pointer positions are in area pixels.
  CropZone ZoneAt(int px, int py) const;
  void Press(int px, int py);
  // True when the rectangle changed (the change is then reported).
  bool Move(int px, int py);
  void Release();
  bool dragging() const { return dragging_; }
  CropZone dragMode() const { return dragMode_; }

  CropRect crop;
  bool keepRatio = false;
  float ratio = 1.0f;  // width / height that corner drags keep

 private:
  void Clip(int* px, int* py) const;

  int videoWidth_, videoHeight_;
  int areaWidth_ = 0, areaHeight_ = 0;
  float scale_ = 1.0f;
  bool dragging_ = false;
  int anchorX_ = 0, anchorY_ = 0;
  CropZone dragMode_ = kZoneNone;
};

}  // namespace player
