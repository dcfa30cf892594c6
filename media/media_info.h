// What the program knows about a source file itself, as opposed to what the
// user chose for its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media {

// Proprietary video cache formats, from the source extension.
enum class CacheKind : int { None = 0, Qsv = 1, Kux = 2, Qlv = 3 };

// A subtitle stream: its codec name and whether it is text (as opposed to pictures).
struct SubtitleTrack {
  std::string codec;
  bool text = false;
};

struct MediaInfo {
  std::string title;            // file name without folder and extension
  std::string fileSizeText;     // StrFormatByteSize of fileSize; "" when unknown
  std::string extension;        // without the dot, lower-case
  std::string durationText;     // rounded duration "%02lld:%02lld:%02lld"
  std::string resolutionText;   // "%dx%d"
  std::string coverPath;        // cover picture file
  std::string inputFormat;      // the probed demuxer, as the transcoder's -f names it
  std::string audioBitRateText; // kbit/s, digits only
  CacheKind cacheKind = CacheKind::None;
  int durationSeconds = 0;      // truncated
  int height = 0;
  int width = 0;
  int audioChannels = 2;
  int coverSeekSeconds = 0;     // 5 or 0
  int64_t bitRate = 0;          // container bit rate, bit/s
  int64_t fileSize = 0;
  bool hasDataStream = false;
  int rotation = 0;             // degrees clockwise, 0-359
  float frameRate = 24.0f;
  // What the commands need beyond the shown fields.
  int audioTrack = 0;            // among the audio streams: the default one, else the first
  int audioKbps = 0;             // that track's bit rate, kbit/s; 0 when not known
  int pixelAspectNum = 1;        // shape of a stored pixel, width to height
  int pixelAspectDen = 1;
  bool interlaced = false;       // the picture is stored as fields
  // The picture and the sound start far apart (one after the other has
  // ended): each plays from its own start, and the duration is what plays.
  bool streamsApart = false;
  // The container's tags include reverse-DNS keys ("com.apple.quicktime.make"):
  // a phone's camera and place, which MP4 and MOV keep only as keyed metadata.
  bool keyedTags = false;
  std::vector<SubtitleTrack> subtitles;  // in stream order
  // What decides whether files join as they are, without encoding again.
  std::string videoCodec;        // "h264"; "" without a picture
  std::string pixelFormat;       // "yuv420p"; "" when unknown
  int frameRateNum = 0;          // the average rate as a fraction; 0/0 when unknown
  int frameRateDen = 0;
  std::string audioCodec;        // of the track described; "" without sound
  int sampleRate = 0;
  // The picture's colour as its stream states it, in the FFmpeg libraries'
  // names ("smpte2084", "bt2020", "bt2020nc"); "" when it states none.
  std::string colorTransfer;
  std::string colorPrimaries;
  std::string colorMatrix;

  // The picture as it is shown: a quarter turn swaps the stored sides.
  bool QuarterTurn() const { return rotation == 90 || rotation == 270; }
  int DisplayWidth() const { return QuarterTurn() ? height : width; }
  int DisplayHeight() const { return QuarterTurn() ? width : height; }
  // Width to height of a pixel of the picture as shown.
  double DisplayPixelAspect() const;
  // A high dynamic range picture: PQ (smpte2084) or HLG (arib-std-b67).
  // Shown as it is on an ordinary screen it looks washed out.
  bool HighDynamicRange() const;
};

// The fields that come from the path: title, extension, cacheKind, fileSize,
// fileSizeText. The others keep their start values.
void FillFromPath(const std::string& path, MediaInfo& info);
CacheKind CacheKindOf(const std::string& lowerExtension);

}  // namespace media
