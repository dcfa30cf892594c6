// The rules of the clip editor's time and crop boxes, without any toolkit.
#pragma once

#include <string>

#include "ui/clip_editor/rules/crop_model.h"

namespace player {

// Seconds as hours:minutes:seconds of a time of day (wraps at 24 hours).
std::string ClockText(int seconds);

// What a typed time box asks for.
struct TimeEdit {
  enum Kind {
    kAccept,   // the time is taken: `seconds`
    kReset,    // the box goes back to the text it was opened with
    kCorrect,  // the box is rewritten as `text` (which is checked again)
  };
  Kind kind = kReset;
  int seconds = 0;
  std::string text;
};

// A start is taken when it lies before the kept range's end (and so before
// the end of the file); an end when it lies after the start and not past the
// end of the file. A range never runs backwards nor keeps nothing.
TimeEdit CheckStartText(const std::string& text, int trimEnd, int durationSeconds);
TimeEdit CheckEndText(const std::string& text, int trimStart, int durationSeconds);

// A typed crop box. The rectangle is changed in place; the texts say which
// boxes are rewritten (empty when unchanged).
struct CropEdit {
  bool changed = false;  // the rectangle moved or resized
  std::string ownText;   // the typed box, when its value was corrected
  std::string otherText; // the width box for x, the height box for y, the
                         // other side's box for a size under the kept ratio
};
enum class CropField { kX, kY, kWidth, kHeight };
CropEdit ApplyCropText(CropField field, const std::string& text, CropRect* crop, int videoWidth,
                       int videoHeight, bool keepRatio);

}  // namespace player
