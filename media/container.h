// What a container stores, as the FFmpeg muxer of its file extension says.
#pragma once

#include <string>

namespace media {

// Whether files with this extension store a stream of the codec (FFmpeg's
// name, e.g. "h264") as it is. False for an unknown extension or codec.
bool ContainerStores(const std::string& extension, const std::string& codecName);

// A tag key in reverse-DNS form ("com.apple.quicktime.make"): a phone's
// camera and place.
bool IsKeyedTag(const std::string& key);
// A tag that says how the file was stored rather than what it shows.
bool IsContainerMark(const std::string& key);
// Files with this extension keep keyed tags only as keyed metadata (the MP4
// muxer's use_metadata_tags).
bool NeedsKeyedMetadata(const std::string& extension);

}  // namespace media
