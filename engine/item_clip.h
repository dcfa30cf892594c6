// The part of a file an item keeps: its range and its crop rectangle, as one
// value, and the rules every front end sets it by (ListSession::SetClip).
#pragma once

#include <string>

namespace engine {

struct VideoItem;

struct ItemClip {
  int trimStart = 0;  // seconds
  int trimEnd = 0;
  int cropX = 0;      // a rectangle of the picture as shown (after its turn)
  int cropY = 0;
  int cropWidth = 0;
  int cropHeight = 0;
  bool keepRatio = true;  // the editor's rectangle kept the picture's shape
};

ItemClip ClipOf(const VideoItem& item);
void PutClip(VideoItem& item, const ItemClip& clip);

// An odd crop side made even, as 4:2:0 encoders need it: one more when that
// stays inside the frame, else one less.
int EvenCropSide(int side, int offset, int frame);
// The side of a crop of the whole frame: the frame's, one less when odd.
int WholeFrameSide(int frame);

// The turns (clockwise degrees) the transcoder makes upright before the
// filters, so that a crop there is a rectangle of the picture as shown: none,
// a quarter, a half or three quarters.
bool UprightTurn(int rotation);

// Why the item's crop cannot be other than its whole frame: a picture turned
// otherwise than UprightTurn (its rectangle would not be the one shown) or a
// cache file (its frame is known only once converted). "" when it can be
// cropped.
std::string CropRefusal(const VideoItem& item);

// Why the analysed item cannot be trimmed and cropped together (as the clip
// editor does): no length, or no crop allowed. "" when it can.
std::string ClipRefusal(const VideoItem& item);

// Checks the clip against the analysed item: a range inside the file, a
// rectangle inside the frame as shown, and a crop only where one may be made. Makes
// the crop's sides even. "" when it fits, else why not, for the user.
std::string FitClip(const VideoItem& item, ItemClip* clip);

}  // namespace engine
