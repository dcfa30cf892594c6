// Bringing a high dynamic range picture to what an ordinary screen shows.
#pragma once

#include <string>

#include "media/media_info.h"

namespace media {

// The transcoder's filter steps, comma-separated, that turn the picture of a
// high dynamic range source (PQ or HLG) into BT.709 SDR, 8-bit 4:2:0; "" for
// any other source. Only names the filters know reach the text.
std::string ToneMapSteps(const MediaInfo& info);

}  // namespace media
