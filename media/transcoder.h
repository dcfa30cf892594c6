// The external transcoder program every conversion, merge and cover runs.
#pragma once

#include <string>

namespace media {

// "ffmpeg" found beside the program first, then on PATH; "" when it is
// nowhere. Looked up at each call, so a transcoder installed later is found.
std::string TranscoderPath();

}  // namespace media
