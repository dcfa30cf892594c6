// A GIF whose header claims a picture of 65535 x 65535: made as a small real
// GIF, then its logical screen and first image sizes overwritten. No decoder
// takes a picture that large, so nothing of it can ever be shown.
#pragma once

#include <string>

#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace testsupport {

// "" when made, else why not.
inline std::string MakeHugeGif(const std::string& file) {
  MediaSpec spec = Clip(1, 32, 24);
  spec.color = "red";
  spec.fps = 5;
  if (std::string why = MakeMedia(file, spec); !why.empty()) return why;
  std::string gif = ReadText(file);
  if (gif.size() < 13 || gif.compare(0, 3, "GIF") != 0) return "not a GIF";
  auto huge = [&](size_t at) { gif.replace(at, 4, "\xff\xff\xff\xff", 4); };
  huge(6);  // the logical screen
  size_t at = 13;
  if (gif[10] & 0x80) at += 3u << ((gif[10] & 7) + 1);  // the global colour table
  // Extensions (0x21, label, sub-blocks) up to the first image (0x2c).
  while (at < gif.size() && gif[at] == 0x21) {
    at += 2;
    while (at < gif.size() && gif[at] != 0) at += 1 + (unsigned char)gif[at];
    ++at;
  }
  if (at + 9 > gif.size() || gif[at] != 0x2c) return "no image in the GIF";
  huge(at + 5);
  WriteText(file, gif);
  return "";
}

}  // namespace testsupport
