// What a container stores, as the FFmpeg muxer of its file extension says.
#pragma once

#include <string>

namespace media {

// Whether files with this extension store a stream of the codec (FFmpeg's
// name, e.g. "h264") as it is. False for an unknown extension or codec.
bool ContainerStores(const std::string& extension, const std::string& codecName);

}  // namespace media
