#include "engine/format_catalog.h"

namespace engine {
namespace {

using media::OutputFormat;
using media::SizePreset;

constexpr int kFormats = 9;
constexpr int kPresets = 9;

// In the order of the enumerations; the menu's token search follows it too.
const char* const kFormatTokens[kFormats] = {"mp4", "mkv", "avi", "wmv", "flv",
                                             "mov", "gif", "mp3", "m4a"};
const char* const kFormatRowTexts[kFormats] = {"MP4", "MKV", "AVI", "WMV", "FLV",
                                               "MOV", "GIF", "MP3", "M4A"};
const char* const kPresetTokens[kPresets] = {"origin", "1080", "720", "dvd", "tv",
                                             "phone",  "256",  "128", "96"};
// Origin's label is the language's own text.
const char* const kPresetLabels[kPresets] = {"",        "1920x1080", "1280x720",
                                             "720x576", "640x480",   "320x240",
                                             "256 kbps", "128 kbps", "96 kbps"};
// GIF names its smaller sizes by their height.
const char* const kGifPresetLabels[kPresets] = {"", "1920x1080", "1280x720", "720P", "360P",
                                                "200P", "", "", ""};

int FormatIndex(OutputFormat format) {
  int v = static_cast<int>(format);
  return v >= 0 && v < kFormats ? v : -1;
}

int PresetIndex(SizePreset preset) {
  int v = static_cast<int>(preset);
  return v >= 0 && v < kPresets ? v : -1;
}

bool IsSizePreset(SizePreset preset) {
  return preset >= SizePreset::Size1080 && preset <= SizePreset::Phone;
}

bool IsBitRatePreset(SizePreset preset) {
  return preset >= SizePreset::Audio256 && preset <= SizePreset::Audio96;
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

std::string FormatToken(OutputFormat format) {
  int i = FormatIndex(format);
  return i < 0 ? std::string() : kFormatTokens[i];
}

std::string PresetToken(SizePreset preset) {
  int i = PresetIndex(preset);
  return i < 0 ? std::string() : kPresetTokens[i];
}

bool ParseFormatToken(const std::string& token, OutputFormat* format) {
  for (int i = 0; i < kFormats; ++i) {
    if (token == kFormatTokens[i]) {
      *format = static_cast<OutputFormat>(i);
      return true;
    }
  }
  return false;
}

bool ParsePresetToken(const std::string& token, SizePreset* preset) {
  for (int i = 0; i < kPresets; ++i) {
    if (token == kPresetTokens[i]) {
      *preset = static_cast<SizePreset>(i);
      return true;
    }
  }
  return false;
}

std::string FormatRowText(OutputFormat format) {
  int i = FormatIndex(format);
  return i < 0 ? std::string() : kFormatRowTexts[i];
}

bool IsSoundFormat(OutputFormat format) {
  return format == OutputFormat::Mp3 || format == OutputFormat::M4a;
}

bool ListOffersFormat(ConvertKind list, OutputFormat format) {
  if (FormatIndex(format) < 0) return false;
  switch (list) {
    case ConvertKind::Audio: return IsSoundFormat(format);
    case ConvertKind::Gif: return format == OutputFormat::Gif;
    case ConvertKind::Video:
    case ConvertKind::Merge: return format <= OutputFormat::Mov;
  }
  return false;
}

bool ListOffersPreset(ConvertKind list, SizePreset preset) {
  switch (list) {
    case ConvertKind::Audio: return preset == SizePreset::Origin || IsBitRatePreset(preset);
    case ConvertKind::Gif:
      return preset == SizePreset::Origin || preset == SizePreset::Dvd ||
             preset == SizePreset::Tv || preset == SizePreset::Phone;
    case ConvertKind::Video: return preset == SizePreset::Origin || IsSizePreset(preset);
    case ConvertKind::Merge: return IsSizePreset(preset);
  }
  return false;
}

bool ListTakesPreset(ConvertKind list, SizePreset preset) {
  return ListOffersPreset(list, preset) ||
         (list == ConvertKind::Merge && preset == SizePreset::Origin);
}

std::string PresetLabel(OutputFormat format, SizePreset preset, const std::string& originText) {
  int i = PresetIndex(preset);
  if (i < 0) return {};
  if (preset == SizePreset::Origin) return originText;
  if (format == OutputFormat::Gif && kGifPresetLabels[i][0] != '\0') return kGifPresetLabels[i];
  return kPresetLabels[i];
}

std::string FormatLabel(OutputFormat format, SizePreset preset, const std::string& originText) {
  std::string label = FormatRowText(format);
  if (!label.empty()) label += " - ";
  return label + PresetLabel(format, preset, originText);
}

std::string AudioBitRateText(SizePreset preset, const std::string& sourceBitRate) {
  switch (preset) {
    case SizePreset::Audio256: return "256";
    case SizePreset::Audio128: return "128";
    case SizePreset::Audio96: return "96";
    default: return sourceBitRate;
  }
}

std::string AudioBitRateLabel(SizePreset preset, const std::string& sourceBitRate) {
  std::string digits = AudioBitRateText(preset, sourceBitRate);
  return digits.empty() ? std::string() : digits + " kbps";
}

MenuChoice ReadMenuChoice(const std::string& name) {
  MenuChoice choice;
  for (int i = 0; i < kFormats && !choice.hasFormat; ++i) {
    if (name.find(kFormatTokens[i]) != std::string::npos) {
      choice.hasFormat = true;
      choice.format = static_cast<OutputFormat>(i);
    }
  }
  for (int i = 0; i < kPresets && !choice.hasPreset; ++i) {
    if (name.find(kPresetTokens[i]) != std::string::npos) {
      choice.hasPreset = true;
      choice.preset = static_cast<SizePreset>(i);
    }
  }
  return choice;
}

bool ListTakesFile(ConvertKind list, media::CacheKind cache) {
  return cache == media::CacheKind::None || list == ConvertKind::Video || list == ConvertKind::Gif;
}

}  // namespace engine
