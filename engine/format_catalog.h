// The formats and size presets the lists offer: one table of outputs (token,
// file extension, row text, the lists that offer it, its codec arguments,
// sound codec, encoder speed and sample rate) and one of presets
// (token, labels, frame sizes, bit rates, the lists that offer it), and each
// list's starting choice. Every front end and the command builders read
// these facts here; adding an output is adding a row.
#pragma once

#include <string>
#include <vector>

#include "engine/video_item.h"
#include "media/output_format.h"

namespace engine {

// The output choice of a list: its format and size preset.
struct ListChoice {
  media::OutputFormat format = media::OutputFormat::Mp4;
  media::SizePreset preset = media::SizePreset::Origin;
};

// video Mp4/Origin, audio Mp3/Origin, GIF Gif/Origin, merge Mp4/Size720.
ListChoice DefaultChoice(ConvertKind list);

// Every output format and every preset, in the tables' order.
std::vector<media::OutputFormat> OutputFormats();
std::vector<media::SizePreset> SizePresets();

// "mp4" … "opus": the name on a command line and in menu entries; "" outside
// the table.
std::string FormatToken(media::OutputFormat format);
// The output file's extension: "mp4" for HEVC, "webm" for AV1, else the
// token; "" outside the table.
std::string FormatExtension(media::OutputFormat format);
// "origin", "1080", "720", "dvd", "tv", "phone", "256", "128", "96"; "" outside.
std::string PresetToken(media::SizePreset preset);
// Exact token → value; false for an unknown token.
bool ParseFormatToken(const std::string& token, media::OutputFormat* format);
bool ParsePresetToken(const std::string& token, media::SizePreset* preset);

// "MP4" … "OPUS"; "" outside the table.
std::string FormatRowText(media::OutputFormat format);
bool IsSoundFormat(media::OutputFormat format);
// A sound file that keeps the sound as it is (FLAC, WAV): no bit rate to choose.
bool IsLosslessSound(media::OutputFormat format);

// Which list offers a format, and which presets go with a list's formats:
// sizes for picture lists (GIF: origin, dvd, tv, phone; the merge list has
// no "origin", its parts must share one frame size), bit rates and origin for
// the audio list.
bool ListOffersFormat(ConvertKind list, media::OutputFormat format);
// Without a format: whether any of the list's formats offers the preset.
bool ListOffersPreset(ConvertKind list, media::SizePreset preset);
// With one: whether the list's menu offers the preset under that format (a
// lossless sound file only "origin"); false for a format of another list.
bool ListOffersPreset(ConvertKind list, media::OutputFormat format, media::SizePreset preset);
// What a list takes from a command line: what its menu offers, and for the
// merge list also "origin", where every part takes the first part's size.
bool ListTakesPreset(ConvertKind list, media::SizePreset preset);
bool ListTakesPreset(ConvertKind list, media::OutputFormat format, media::SizePreset preset);

// The source's tags (recording date, place, camera) go into the format's files.
bool KeepsTags(media::OutputFormat format);

// Cache files are converted as videos; the sound and merge lists cannot take them.
bool ListTakesFile(ConvertKind list, media::CacheKind cache);

// The preset's label, a size named by its height: "1080p", "576p" for dvd,
// "720p" for GIF's dvd, "128 kbps"; originText (the localized
// "FormatOriginText") for Origin. A row shows the frame instead (SizeText).
std::string PresetLabel(media::OutputFormat format, media::SizePreset preset,
                        const std::string& originText);
// The format button's label: "MP4 - 720p"; each half empty when its
// value lies outside the table.
std::string FormatLabel(media::OutputFormat format, media::SizePreset preset,
                        const std::string& originText);

// The bit rate a sound output gets at the preset, kbit/s: 256, 128, 96 for
// those presets; 0 keeps the source's own rate.
int PresetAudioKbps(media::SizePreset preset);
// The same as the digits a row shows: the preset's, else the source's own
// rate ("" when it has none).
std::string AudioBitRateText(media::SizePreset preset, const std::string& sourceBitRate);
// The same as a row shows it: "128 kbps"; "" when there is none.
std::string AudioBitRateLabel(media::SizePreset preset, const std::string& sourceBitRate);

// A picture's frame in pixels; 0x0 when not known.
struct FrameSize {
  int width = 0;
  int height = 0;
};

// The output picture's frame for a source shown as width x height (sides as
// displayed, after any rotation); 0x0 when the size is unknown and the
// output follows the source (Origin or GIF). pixelAspect is the width to
// height of a source pixel as shown: GIF output is made of square pixels.
FrameSize OutputResolution(media::OutputFormat format, media::SizePreset preset, int width,
                           int height, double pixelAspect = 1.0);
// "%dx%d" as a row shows it; "" for 0x0.
std::string SizeText(FrameSize size);

// The codec arguments of a picture output of the list: a converted video's
// (empty: the container's own codec), or a merge part's at the preset.
const std::vector<std::string>& VideoCodecArgs(ConvertKind list, media::OutputFormat format,
                                               media::SizePreset preset);
// A sound output's codec arguments (MP3's for a format without its own).
const std::vector<std::string>& SoundCodecArgs(media::OutputFormat format);
// The codec of a picture output's sound track: AAC, Opus for WebM and AV1.
const std::vector<std::string>& TrackSoundCodecArgs(media::OutputFormat format);
// The encoders' speed settings of the output: "-preset superfast" for the
// formats of H.264 and HEVC (and, without effect, GIF, MP3 and M4A), the
// realtime deadline for VP9, a preset number for AV1, none for FLAC, WAV, Opus.
const std::vector<std::string>& EncoderSpeedArgs(media::OutputFormat format);
// The sample rate of a sound file and of a merge part's track: "44100",
// "48000" for Opus; "" keeps the source's (FLAC, WAV).
std::string SoundSampleRate(media::OutputFormat format);
// The video codec of a join that must encode the parts again; empty: the
// parts' own encoder as it is.
const std::vector<std::string>& JoinCodecArgs(media::OutputFormat format);

// How a picture output keeps the source's text subtitles: not at all, as
// timed text (MP4, MOV, HEVC), as Matroska stores them, or as WebVTT (WebM, AV1).
enum class SubtitleWay { None, TimedText, Matroska, WebVtt };
SubtitleWay SubtitlesOf(media::OutputFormat format);

// A merge part's video bit rate at the preset: "2500k".
std::string PartVideoBitRate(media::SizePreset preset);

// A format menu entry's name read as a choice: the first format token found
// in the order mp4 mkv avi wmv flv mov gif mp3 m4a, the first size token in
// the order origin 1080 720 dvd tv phone 256 128 96 (plain text search).
struct MenuChoice {
  bool hasFormat = false;
  media::OutputFormat format = media::OutputFormat::Mp4;
  bool hasPreset = false;
  media::SizePreset preset = media::SizePreset::Origin;
};
MenuChoice ReadMenuChoice(const std::string& name);

}  // namespace engine
