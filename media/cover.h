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
// coverPath (at coverSeekSeconds, scaled to 1194x768). The source is read
// through the file protocol only, by the demuxer inputFormat names.
// toneMap: the filter steps of a high dynamic range source (ToneMapSteps),
// run on the pictured frame only; "" for others.
std::vector<std::string> CoverCommand(const std::string& transcoder, const std::string& source,
                                      const std::string& inputFormat, int coverSeekSeconds,
                                      const std::string& coverPath,
                                      const std::string& toneMap = std::string());

// Reuses info.coverPath when that file exists; otherwise names a new cover
// "<coverDir>/<title>_<microseconds>.png", stores it in info.coverPath and runs
// the transcoder in process (which another thread may kill, also before the
// child starts) until it ends. True when the cover file exists afterwards; a
// killed or failed run leaves no picture behind. A source without a probed
// format (info.inputFormat), or one whose demuxer reads beyond the file, gets
// no cover and no transcoder run.
bool MakeCover(const std::string& source, MediaInfo& info, const std::string& coverDir,
               const std::string& workDir, platform::Process& process);

}  // namespace media
