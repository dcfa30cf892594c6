#include "ui/clip_editor/rules/range_slider_model.h"

namespace player {

int RangeSliderModel::PositionOf(int v) const {
  // An empty range has nowhere to go: every value sits at the left end.
  if (Range() == 0) return bounds.left;
  return bounds.left + (bounds.right - bounds.left) * (v - minimum) / Range();
}

SliderRect RangeSliderModel::Thumb(int index) const {
  const int x = PositionOf(value[index]);
  SliderRect r;
  r.left = index == 0 ? x : x - thumbWidth[1];
  r.right = index == 0 ? x + thumbWidth[0] : x;
  r.top = (bounds.top + bounds.bottom - thumbHeight[index]) / 2;
  r.bottom = r.top + thumbHeight[index];
  return r;
}

int RangeSliderModel::ValueAt(int x, int index) const {
  const int tw = thumbWidth[index];
  if (x >= bounds.right - tw) return maximum;
  if (x <= bounds.left + tw) return minimum;
  const int track = bounds.right - bounds.left;
  return track > 0 ? minimum + Range() * (x - bounds.left) / track : minimum;
}

int RangeSliderModel::MinimumGap() const {
  return maximum > 0 ? (bounds.right - bounds.left) / maximum : 0;
}

bool RangeSliderModel::Press(int x, int y) {
  bool any = false;
  for (int i = 0; i < 2; ++i) {
    if (Thumb(i).Contains(x, y)) {
      flags[i] |= kThumbCaptured;
      any = true;
    }
  }
  return any;
}

int RangeSliderModel::Move(int x) {
  int index = (flags[0] & kThumbCaptured) ? 0 : (flags[1] & kThumbCaptured) ? 1 : -1;
  if (index < 0) return -1;
  const int before = value[index];
  value[index] = ValueAt(x, index);
  if (value[0] > value[1] - MinimumGap()) value[index] = before;  // too close: stays
  return index;
}

bool RangeSliderModel::Release() {
  bool ended = false;
  for (unsigned& f : flags) {
    ended = ended || (f & kThumbCaptured);
    f &= ~kThumbCaptured;
  }
  return ended;
}

void RangeSliderModel::SetHot(bool hot) {
  for (unsigned& f : flags) f = hot ? (f | kThumbHot) : (f & ~kThumbHot);
}

}  // namespace player
