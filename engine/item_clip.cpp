#include "engine/item_clip.h"

#include "engine/video_item.h"
#include "platform/text.h"

namespace engine {

ItemClip ClipOf(const VideoItem& item) {
  return {item.trimStart, item.trimEnd,     item.cropX,    item.cropY,
          item.cropWidth, item.cropHeight, item.keepRatio};
}

void PutClip(VideoItem& item, const ItemClip& clip) {
  item.trimStart = clip.trimStart;
  item.trimEnd = clip.trimEnd;
  item.cropX = clip.cropX;
  item.cropY = clip.cropY;
  item.cropWidth = clip.cropWidth;
  item.cropHeight = clip.cropHeight;
  item.keepRatio = clip.keepRatio;
}

int EvenCropSide(int side, int offset, int frame) {
  if (side % 2 == 0) return side;
  if (frame <= 0 || offset + side + 1 <= frame) return side + 1;
  return side - 1;
}

int WholeFrameSide(int frame) { return frame - frame % 2; }

bool UprightTurn(int rotation) { return rotation % 90 == 0; }

std::string CropRefusal(const VideoItem& item) {
  if (item.cacheKind != media::CacheKind::None)
    return "a cache file cannot be cropped: its picture is known only once it is converted";
  if (!UprightTurn(item.rotation))
    return platform::Format("a picture turned %d degrees (not a quarter turn) cannot be cropped",
                            item.rotation);
  if (item.width <= 0 || item.height <= 0) return "the file has no picture to crop";
  return {};
}

std::string ClipRefusal(const VideoItem& item) {
  if (item.durationSeconds <= 0) return "the file has no length to trim";
  return CropRefusal(item);
}

std::string FitClip(const VideoItem& item, ItemClip* clip) {
  const bool wholeRange = clip->trimStart == 0 && clip->trimEnd == item.durationSeconds;
  if (!wholeRange && (clip->trimStart < 0 || clip->trimEnd <= clip->trimStart))
    return platform::Format("the range %d-%d keeps nothing", clip->trimStart, clip->trimEnd);
  if (!wholeRange && clip->trimEnd > item.durationSeconds)
    return platform::Format("the range %d-%d lies past the end (%d seconds)", clip->trimStart,
                            clip->trimEnd, item.durationSeconds);
  // The rectangle is one of the picture as shown: a quarter turn swaps the sides.
  const int width = item.DisplayWidth(), height = item.DisplayHeight();
  const bool wholeFrame = clip->cropX == 0 && clip->cropY == 0 &&
                          WholeFrameSide(clip->cropWidth) == WholeFrameSide(width) &&
                          WholeFrameSide(clip->cropHeight) == WholeFrameSide(height);
  if (!wholeFrame) {
    if (std::string why = CropRefusal(item); !why.empty()) return why;
    if (clip->cropX < 0 || clip->cropY < 0 || clip->cropWidth <= 0 || clip->cropHeight <= 0 ||
        clip->cropX + clip->cropWidth > width || clip->cropY + clip->cropHeight > height)
      return platform::Format("the crop %d,%d,%d,%d lies outside the %dx%d picture", clip->cropX,
                              clip->cropY, clip->cropWidth, clip->cropHeight, width, height);
  }
  clip->cropWidth = EvenCropSide(clip->cropWidth, clip->cropX, width);
  clip->cropHeight = EvenCropSide(clip->cropHeight, clip->cropY, height);
  return {};
}

}  // namespace engine
