// Cover thumbnails rendered by the transcoder.
#pragma once

#include <string>
#include <vector>

#include "media/media_info.h"

namespace platform {
class Process;
}

namespace media {

// The transcoder's arguments that render one picture of source into
// coverPath (at coverSeekSeconds, scaled to 1194x768).
std::vector<std::string> CoverCommand(const std::string& transcoder, const std::string& source,
                                      int coverSeekSeconds, const std::string& coverPath);

// Reuses info.coverPath when that file exists; otherwise names a new cover
// "<coverDir>/<title>_<microseconds>.png", stores it in info.coverPath and runs
// the transcoder in process (which another thread may kill, also before the
// child starts) until it ends. True when the cover file exists afterwards; a
// killed or failed run leaves no picture behind.
bool MakeCover(const std::string& source, MediaInfo& info, const std::string& coverDir,
               const std::string& workDir, platform::Process& process);

}  // namespace media
