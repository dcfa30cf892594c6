#include "engine/format_catalog.h"

#include <cmath>

#include "platform/text.h"

namespace engine {
namespace {

using media::OutputFormat;
using media::SizePreset;

constexpr unsigned Bit(ConvertKind list) { return 1u << static_cast<int>(list); }
constexpr unsigned kVideoList = Bit(ConvertKind::Video);
constexpr unsigned kAudioList = Bit(ConvertKind::Audio);
constexpr unsigned kGifList = Bit(ConvertKind::Gif);
constexpr unsigned kMergeList = Bit(ConvertKind::Merge);

using Args = std::vector<std::string>;

Args Join(Args a, const Args& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One row per output. The rows stand in the order of the enumeration, which
// is also the order in which a menu entry's name is searched for tokens: no
// token may stand inside another entry's name.
struct OutputRecord {
  OutputFormat format;
  const char* token;      // the name on a command line and in the menu's entries
  const char* extension;  // the file's
  const char* rowText;
  unsigned lists;         // the lists that offer it
  Args videoCodec;        // a converted video's codec (empty: the container's own)
  Args partCodec;         // a merge part's
  Args partCodec1080;     // a merge part's at 1080 lines, where it differs
  Args joinCodec;         // a join that encodes again (empty: the parts' own encoder)
  Args trackSound;        // the sound track of a picture output
  Args soundCodec;        // a sound file's; empty for a picture output
  Args speed;             // the encoders' speed settings
  const char* sampleRate; // of a sound file and a merge part's track; "": the source's
  bool lossless;          // a sound file kept as it is: no bit rate to choose
  SubtitleWay subtitles;
  bool joinsParts;        // merge parts of one kind may join into it as they are
  bool keepsTags;         // the source's tags go along: the recording date, place, camera
};

const Args kH264 = {"-c:v", "libx264"};
// Containers whose players expect H.264's main profile rather than their own codec.
const Args kH264Main = {"-c:v", "libx264", "-profile:v", "main"};
const Args kAac = {"-c:a", "aac"};
const Args kOpus = {"-c:a", "libopus"};
const Args kSuperfast = {"-preset", "superfast"};
// VP9 and AV1 at a speed that keeps up with the picture on a small machine.
const Args kVp9 = {"-c:v", "libvpx-vp9"};
const Args kVp9Speed = {"-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1"};
const Args kAv1 = {"-c:v", "libsvtav1"};
const Args kAv1Speed = {"-preset", "12"};
// HEVC in MP4 tagged as players outside FFmpeg expect it.
const Args kHevc = {"-c:v", "libx265", "-tag:v", "hvc1"};

using S = SubtitleWay;

const std::vector<OutputRecord>& Outputs() {
  static const std::vector<OutputRecord> outputs = {
      {OutputFormat::Mp4, "mp4", "mp4", "MP4", kVideoList | kMergeList, {}, kH264, {}, {}, kAac,
       {}, kSuperfast, "44100", false, S::TimedText, true, true},
      {OutputFormat::Mkv, "mkv", "mkv", "MKV", kVideoList | kMergeList, {}, kH264, {}, {}, kAac,
       {}, kSuperfast, "44100", false, S::Matroska, true, true},
      {OutputFormat::Avi, "avi", "avi", "AVI", kVideoList | kMergeList, kH264Main,
       {"-c:v", "msmpeg4"}, {"-c:v", "libxvid"}, {}, kAac, {}, kSuperfast, "44100", false,
       S::None, false, false},
      {OutputFormat::Wmv, "wmv", "wmv", "WMV", kVideoList | kMergeList, kH264Main,
       {"-c:v", "wmv2"}, {}, {}, kAac, {}, kSuperfast, "44100", false, S::None, false, false},
      {OutputFormat::Flv, "flv", "flv", "FLV", kVideoList | kMergeList, kH264Main, kH264, {}, {},
       kAac, {}, kSuperfast, "44100", false, S::None, false, false},
      {OutputFormat::Mov, "mov", "mov", "MOV", kVideoList | kMergeList, {}, kH264, {}, {}, kAac,
       {}, kSuperfast, "44100", false, S::TimedText, true, true},
      {OutputFormat::Gif, "gif", "gif", "GIF", kGifList, {}, {}, {}, {}, kAac, {}, kSuperfast,
       "44100", false, S::None, false, false},
      {OutputFormat::Mp3, "mp3", "mp3", "MP3", kAudioList, {}, {}, {}, {}, {},
       {"-c:a", "libmp3lame"}, kSuperfast, "44100", false, S::None, false, true},
      // A sound file never carries the picture along.
      {OutputFormat::M4a, "m4a", "m4a", "M4A", kAudioList, {}, {}, {}, {}, {},
       {"-c:a", "aac", "-vn"}, kSuperfast, "44100", false, S::None, false, true},
      // Quality set, not a bit rate: "-b:v 0" leaves the encoder to the crf.
      // Opus takes 48 kHz, not 44.1.
      {OutputFormat::Webm, "webm", "webm", "WEBM", kVideoList | kMergeList,
       {"-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0"}, kVp9, {}, Join(kVp9, kVp9Speed), kOpus,
       {}, kVp9Speed, "48000", false, S::WebVtt, true, true},
      {OutputFormat::Hevc, "hevc", "mp4", "HEVC", kVideoList | kMergeList,
       Join(kHevc, {"-movflags", "+faststart"}), kHevc, {}, Join(kHevc, kSuperfast), kAac, {}, kSuperfast,
       "44100", false, S::TimedText, false, true},
      {OutputFormat::Av1, "av1", "webm", "AV1", kVideoList | kMergeList,
       {"-c:v", "libsvtav1", "-crf", "35"}, kAv1, {}, Join(kAv1, kAv1Speed), kOpus, {},
       kAv1Speed, "48000", false, S::WebVtt, false, true},
      {OutputFormat::Flac, "flac", "flac", "FLAC", kAudioList, {}, {}, {}, {}, {},
       {"-c:a", "flac"}, {}, "", true, S::None, false, true},
      {OutputFormat::Wav, "wav", "wav", "WAV", kAudioList, {}, {}, {}, {}, {},
       {"-c:a", "pcm_s16le"}, {}, "", true, S::None, false, false},
      {OutputFormat::Opus, "opus", "opus", "OPUS", kAudioList, {}, {}, {}, {}, {},
       {"-c:a", "libopus"}, {}, "48000", false, S::None, false, true},
  };
  return outputs;
}

// One row per preset, in the order of the enumeration.
struct PresetRecord {
  SizePreset preset;
  const char* token;
  // A size is named by its height ("720p"), as the menu and the format
  // button show it; a row shows the frame itself ("1280x720").
  const char* label;     // "" for origin: the language's own text
  const char* gifLabel;  // a GIF's height differs from the frame's; "": the label
  int width, height;     // the frame of a picture output; 0: the source's
  int gifHeight;         // the height a GIF takes; 0: the source's, at most 720
  int kbps;              // a sound output's bit rate; 0: the source's
  const char* partBitRate;  // a merge part's video bit rate
  unsigned lists;        // the lists whose menus offer it
};

const std::vector<PresetRecord>& Presets() {
  static const std::vector<PresetRecord> presets = {
      {SizePreset::Origin, "origin", "", "", 0, 0, 0, 0, "512k",
       kVideoList | kAudioList | kGifList},
      {SizePreset::Size1080, "1080", "1080p", "", 1920, 1080, 1080, 0, "3000k",
       kVideoList | kMergeList},
      {SizePreset::Size720, "720", "720p", "", 1280, 720, 720, 0, "2500k",
       kVideoList | kMergeList},
      {SizePreset::Dvd, "dvd", "576p", "720p", 720, 576, 720, 0, "1500k",
       kVideoList | kMergeList | kGifList},
      {SizePreset::Tv, "tv", "480p", "360p", 640, 480, 360, 0, "1200k",
       kVideoList | kMergeList | kGifList},
      {SizePreset::Phone, "phone", "240p", "200p", 320, 240, 200, 0, "512k",
       kVideoList | kMergeList | kGifList},
      {SizePreset::Audio256, "256", "256 kbps", "", 0, 0, 0, 256, "512k", kAudioList},
      {SizePreset::Audio128, "128", "128 kbps", "", 0, 0, 0, 128, "512k", kAudioList},
      {SizePreset::Audio96, "96", "96 kbps", "", 0, 0, 0, 96, "512k", kAudioList},
      // Merge parts that share their formats join as they are, at their own size.
      {SizePreset::Parts, "parts", "Same as the parts", "", 0, 0, 0, 0, "512k", kMergeList},
  };
  return presets;
}

const OutputRecord* OutputOf(OutputFormat format) {
  for (const OutputRecord& r : Outputs())
    if (r.format == format) return &r;
  return nullptr;
}

const PresetRecord* PresetOf(SizePreset preset) {
  for (const PresetRecord& r : Presets())
    if (r.preset == preset) return &r;
  return nullptr;
}

// GIF keeps the source's shape: the width follows the target height, made
// even. Single precision, as the sizes have always been computed.
int WidthForHeight(float width, int height, int targetHeight) {
  const float scale = static_cast<float>(height) / static_cast<float>(targetHeight);
  int w = static_cast<int>(width / scale);
  return w % 2 != 0 ? w + 1 : w;
}

}  // namespace

ListChoice DefaultChoice(ConvertKind list) {
  switch (list) {
    case ConvertKind::Audio: return {OutputFormat::Mp3, SizePreset::Origin};
    case ConvertKind::Gif: return {OutputFormat::Gif, SizePreset::Origin};
    case ConvertKind::Merge: return {OutputFormat::Mp4, SizePreset::Size720};
    case ConvertKind::Video: break;
  }
  return {OutputFormat::Mp4, SizePreset::Origin};
}

std::vector<OutputFormat> OutputFormats() {
  std::vector<OutputFormat> formats;
  for (const OutputRecord& r : Outputs()) formats.push_back(r.format);
  return formats;
}

std::vector<SizePreset> SizePresets() {
  std::vector<SizePreset> presets;
  for (const PresetRecord& r : Presets()) presets.push_back(r.preset);
  return presets;
}

std::string FormatToken(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->token : std::string();
}

std::string FormatExtension(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->extension : std::string();
}

std::string PresetToken(SizePreset preset) {
  const PresetRecord* r = PresetOf(preset);
  return r ? r->token : std::string();
}

bool ParseFormatToken(const std::string& token, OutputFormat* format) {
  for (const OutputRecord& r : Outputs()) {
    if (token == r.token) {
      *format = r.format;
      return true;
    }
  }
  return false;
}

bool ParsePresetToken(const std::string& token, SizePreset* preset) {
  for (const PresetRecord& r : Presets()) {
    if (token == r.token) {
      *preset = r.preset;
      return true;
    }
  }
  return false;
}

std::string FormatRowText(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->rowText : std::string();
}

bool IsSoundFormat(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && !r->soundCodec.empty();
}

bool IsLosslessSound(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && r->lossless;
}

bool ListOffersFormat(ConvertKind list, OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && (r->lists & Bit(list)) != 0;
}

bool ListOffersPreset(ConvertKind list, SizePreset preset) {
  const PresetRecord* r = PresetOf(preset);
  return r && (r->lists & Bit(list)) != 0;
}

bool ListOffersPreset(ConvertKind list, OutputFormat format, SizePreset preset) {
  const PresetRecord* p = PresetOf(preset);
  const OutputRecord* r = OutputOf(format);
  return ListOffersFormat(list, format) && ListOffersPreset(list, preset) &&
         !(IsLosslessSound(format) && p->kbps > 0) &&
         (preset != SizePreset::Parts || r->joinsParts);
}

bool ListTakesPreset(ConvertKind list, SizePreset preset) {
  return ListOffersPreset(list, preset) ||
         (list == ConvertKind::Merge && preset == SizePreset::Origin);
}

bool ListTakesPreset(ConvertKind list, OutputFormat format, SizePreset preset) {
  return ListOffersPreset(list, format, preset) ||
         (list == ConvertKind::Merge && preset == SizePreset::Origin &&
          ListOffersFormat(list, format));
}

std::string PresetLabel(OutputFormat format, SizePreset preset, const std::string& originText) {
  const PresetRecord* r = PresetOf(preset);
  if (!r) return {};
  if (preset == SizePreset::Origin) return originText;
  if (format == OutputFormat::Gif && r->gifLabel[0] != '\0') return r->gifLabel;
  return r->label;
}

std::string FormatLabel(OutputFormat format, SizePreset preset, const std::string& originText) {
  std::string label = FormatRowText(format);
  if (!label.empty()) label += " - ";
  return label + PresetLabel(format, preset, originText);
}

int PresetAudioKbps(SizePreset preset) {
  const PresetRecord* r = PresetOf(preset);
  return r ? r->kbps : 0;
}

std::string AudioBitRateText(SizePreset preset, const std::string& sourceBitRate) {
  const int kbps = PresetAudioKbps(preset);
  return kbps > 0 ? std::to_string(kbps) : sourceBitRate;
}

std::string AudioBitRateLabel(SizePreset preset, const std::string& sourceBitRate) {
  std::string digits = AudioBitRateText(preset, sourceBitRate);
  return digits.empty() ? std::string() : digits + " kbps";
}

MenuChoice ReadMenuChoice(const std::string& name) {
  MenuChoice choice;
  for (const OutputRecord& r : Outputs()) {
    if (name.find(r.token) == std::string::npos) continue;
    choice.hasFormat = true;
    choice.format = r.format;
    break;
  }
  for (const PresetRecord& r : Presets()) {
    if (name.find(r.token) == std::string::npos) continue;
    choice.hasPreset = true;
    choice.preset = r.preset;
    break;
  }
  return choice;
}

bool KeepsTags(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && r->keepsTags;
}

bool ListTakesFile(ConvertKind list, media::CacheKind cache) {
  return cache == media::CacheKind::None || list == ConvertKind::Video || list == ConvertKind::Gif;
}

FrameSize OutputResolution(OutputFormat format, SizePreset preset, int width, int height,
                           double pixelAspect) {
  const bool gif = format == OutputFormat::Gif;
  if ((width == 0 || height == 0) && (gif || preset == SizePreset::Origin)) return {};
  if (IsSoundFormat(format)) return {width, height};
  const PresetRecord* size = PresetOf(preset);
  const int presetWidth = size ? size->width : 0, presetHeight = size ? size->height : 0;
  if (gif) {
    // GIF has no pixel shape of its own: its pixels are square, so a source
    // with wide or narrow pixels is widened or narrowed to the shape it shows.
    const float squareWidth = static_cast<float>(
        pixelAspect > 0 && std::isfinite(pixelAspect) ? width * pixelAspect : width);
    int gifHeight = size ? size->gifHeight : 0;
    if (gifHeight == 0 && height > 720) gifHeight = 720;  // the source, capped
    if (gifHeight == 0 && squareWidth == static_cast<float>(width))
      return {width, height};  // square pixels at the source's size
    if (gifHeight == 0) gifHeight = height;
    return {WidthForHeight(squareWidth, height, gifHeight), gifHeight};
  }
  if (presetWidth > 0) {
    // A picture standing upright takes the preset upright too, rather than
    // being squeezed into a landscape frame.
    const bool upright = height > width;
    return upright ? FrameSize{presetHeight, presetWidth} : FrameSize{presetWidth, presetHeight};
  }
  return {width, height};
}

std::string SizeText(FrameSize size) {
  if (size.width == 0 && size.height == 0) return {};
  return platform::Format("%dx%d", size.width, size.height);
}

const std::vector<std::string>& VideoCodecArgs(ConvertKind list, OutputFormat format,
                                               SizePreset preset) {
  static const Args kNone;
  const OutputRecord* r = OutputOf(format);
  if (!r) return kNone;
  if (list != ConvertKind::Merge) return r->videoCodec;
  return preset == SizePreset::Size1080 && !r->partCodec1080.empty() ? r->partCodec1080
                                                                     : r->partCodec;
}

const std::vector<std::string>& SoundCodecArgs(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && !r->soundCodec.empty() ? r->soundCodec : OutputOf(OutputFormat::Mp3)->soundCodec;
}

const std::vector<std::string>& TrackSoundCodecArgs(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r && !r->trackSound.empty() ? r->trackSound : kAac;
}

const std::vector<std::string>& EncoderSpeedArgs(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->speed : kSuperfast;
}

std::string SoundSampleRate(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->sampleRate : "44100";
}

const std::vector<std::string>& JoinCodecArgs(OutputFormat format) {
  static const Args kNone;
  const OutputRecord* r = OutputOf(format);
  return r ? r->joinCodec : kNone;
}

SubtitleWay SubtitlesOf(OutputFormat format) {
  const OutputRecord* r = OutputOf(format);
  return r ? r->subtitles : SubtitleWay::None;
}

std::string PartVideoBitRate(SizePreset preset) {
  const PresetRecord* r = PresetOf(preset);
  return r ? r->partBitRate : "512k";
}

}  // namespace engine
