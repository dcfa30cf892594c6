// Reading a source file's properties with the FFmpeg libraries.
#pragma once

#include <cstdint>
#include <string>

#include "media/media_info.h"

namespace media {

struct ProbeReport {
  bool usable = false;         // a video stream was found, or the file is a cache file
  bool durationFound = false;  // durationSeconds was set
  bool videoSizeFound = false; // width and height were set from a video stream
  bool pictureFound = false;   // a video stream, or cover art standing for one
  std::string error;           // why the file could not be read, when it could not
};

// Reads the file at path into info. Fields are written as they are found,
// also when the file turns out unusable. Only the file itself is read: a
// playlist or list that names other files is refused, and info.inputFormat
// names the demuxer that read it.
ProbeReport ProbeMedia(const std::string& path, MediaInfo& info);

// The duration fields from a container duration in microseconds:
// durationSeconds (truncated), durationText (rounded) and coverSeekSeconds.
void SetDuration(int64_t microseconds, MediaInfo& info);

}  // namespace media
