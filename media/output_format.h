// The output formats and size presets of the format menu (their facts are
// the engine's catalogue).
#pragma once

namespace media {

enum class OutputFormat : int {
  Mp4 = 0, Mkv, Avi, Wmv, Flv, Mov, Gif, Mp3, M4a, Webm, Hevc, Av1, Flac, Wav, Opus
};
enum class SizePreset : int {
  Origin = 0, Size1080, Size720, Dvd, Tv, Phone, Audio256, Audio128, Audio96,
  Parts,  // merge parts joined as they are
};

}  // namespace media
