#include "media/transcoder.h"

#include "platform/process.h"

namespace media {

std::string TranscoderPath() { return platform::FindProgram("ffmpeg"); }

}  // namespace media
