#include "ui/clip_editor/rules/clip_times.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace player {

std::string ClockText(int seconds) {
  int s = seconds % 86400;
  if (s < 0) s += 86400;
  char text[16];
  snprintf(text, sizeof text, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  return text;
}

namespace {

// Reads "h:m:s"; false when the text does not have exactly two colons.
// Otherwise either a correction or a total.
bool ReadClock(const std::string& t, TimeEdit* edit, int* total) {
  if (std::count(t.begin(), t.end(), ':') != 2) return false;
  const size_t a = t.find(':'), b = t.find(':', a + 1);
  const std::string h = t.substr(0, a), m = t.substr(a + 1, b - a - 1), s = t.substr(b + 1);
  const int hours = atoi(h.c_str()), minutes = atoi(m.c_str()), seconds = atoi(s.c_str());
  edit->kind = TimeEdit::kCorrect;
  if (hours > 24) edit->text = "00:" + t.substr(a + 1);
  else if (minutes > 59) edit->text = h + ":00:" + s;
  else if (seconds > 59) edit->text = h + ":" + m + ":00";
  else edit->kind = TimeEdit::kAccept;
  *total = (hours * 60 + minutes) * 60 + seconds;
  return true;
}

}  // namespace

TimeEdit CheckStartText(const std::string& text, int trimEnd, int durationSeconds) {
  TimeEdit edit;
  int total = 0;
  if (!ReadClock(text, &edit, &total)) return TimeEdit{};
  if (edit.kind == TimeEdit::kCorrect) return edit;
  if (total < 0 || total >= durationSeconds || total >= trimEnd) return TimeEdit{};
  edit.seconds = total;
  return edit;
}

TimeEdit CheckEndText(const std::string& text, int trimStart, int durationSeconds) {
  TimeEdit edit;
  int total = 0;
  if (!ReadClock(text, &edit, &total)) return TimeEdit{};
  if (edit.kind == TimeEdit::kCorrect) return edit;
  if (total <= trimStart || total > durationSeconds) return TimeEdit{};
  edit.seconds = total;
  return edit;
}

CropEdit ApplyCropText(CropField field, const std::string& text, CropRect* crop, int videoWidth,
                       int videoHeight, bool keepRatio) {
  CropEdit edit;
  const bool across = field == CropField::kX || field == CropField::kWidth;
  const int frame = across ? videoWidth : videoHeight;
  float& origin = across ? crop->x : crop->y;
  float& side = across ? crop->width : crop->height;
  float& otherSide = across ? crop->height : crop->width;
  const int otherFrame = across ? videoHeight : videoWidth;
  const float otherOrigin = across ? crop->y : crop->x;
  int v = atoi(text.c_str());
  const bool isOrigin = field == CropField::kX || field == CropField::kY;
  if (v == int(isOrigin ? origin : side)) return edit;
  if (isOrigin) {
    if (v < 0) v = 0, edit.ownText = "0";
    else if (v >= frame) v = frame - 1, edit.ownText = std::to_string(v);
    if (v + side > frame) {
      side = float(frame - v);
      edit.otherText = std::to_string(int(side));
    }
    origin = float(v);
  } else {
    if (v <= 0) v = 1, edit.ownText = "1";
    else if (v > frame) v = frame, edit.ownText = std::to_string(v);
    if (origin + v > frame) {
      v = int(frame - origin);
      edit.ownText = std::to_string(v);
    }
    if (keepRatio && videoWidth > 0 && videoHeight > 0) {
      const float ratio = float(videoWidth) / float(videoHeight);
      float other = across ? v / ratio : ratio * v;
      // The other side stays inside the frame too.
      other = std::min(other, float(otherFrame) - otherOrigin);
      otherSide = other;
      edit.otherText = std::to_string(int(other));
    }
    side = float(v);
  }
  edit.changed = true;
  return edit;
}

}  // namespace player
