// The two-thumb slider of the clip editor without any toolkit: where the
// thumbs lie, which value a pointer stands for, and the drag rules.
#pragma once

namespace player {

struct SliderRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class RangeSliderModel {
 public:
  static constexpr unsigned kThumbHot = 0x08;
  static constexpr unsigned kThumbCaptured = 0x40;

  // The control's rectangle; the track spans its whole width.
  SliderRect bounds;
  int minimum = 0;
  int maximum = 100;
  int value[2] = {0, 0};
  int thumbWidth[2] = {10, 10};
  int thumbHeight[2] = {10, 10};
  unsigned flags[2] = {0, 0};

  // The first thumb lies right of its value's position, the second left of
  // it, so the two never cover each other's value.
  SliderRect Thumb(int index) const;
  int PositionOf(int value) const;
  // The value a pointer stands for while the thumb is dragged.
  int ValueAt(int x, int index) const;
  // Two thumbs stay this far apart: one pixel of track per unit.
  int MinimumGap() const;

  // Button down: captures the thumbs under the pointer (both where they
  // overlap). True when one was captured.
  bool Press(int x, int y);
  // Pointer moved: moves the captured thumb (the first when both are) unless
  // that brings the thumbs closer than the gap. The index of the captured
  // thumb, -1 when none is.
  int Move(int x);
  // Button up: true when a drag ended (the end of a drag is reported).
  bool Release();
  void SetHot(bool hot);

 private:
  int Range() const { return maximum - minimum; }
};

}  // namespace player
