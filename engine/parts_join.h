// Whether the merge list's parts join as they are, by stream copy, without
// converting each first: same picture and sound formats, whole and uncut.
#pragma once

#include <string>
#include <vector>

#include "engine/video_item.h"

namespace engine {

// Why the analysed parts, in list order, cannot be joined as they are, for
// the user ("part 2 is 640x480 where part 1 is 1280x720"); "" when they can.
std::string PartsMismatch(const std::vector<const VideoItem*>& parts);

// The merge list's formats whose container stores the parts' streams as
// they are and joins them without encoding; none when the parts differ.
std::vector<media::OutputFormat> PartsJoinFormats(const std::vector<const VideoItem*>& parts);

}  // namespace engine
