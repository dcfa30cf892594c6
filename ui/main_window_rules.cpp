#include "ui/main_window_rules.h"

#include "platform/files.h"
#include "platform/text.h"

namespace ui {

using engine::ConvertKind;
using media::OutputFormat;
using media::SizePreset;

bool AcceptsDroppedFile(const std::string& path, const std::string& patterns) {
  std::string ext = platform::ExtensionOf(platform::FileNameOf(path));
  if (ext.empty()) return false;
  return patterns.find("*." + platform::ToLowerAscii(ext) + ";") != std::string::npos;
}

std::vector<std::string> AcceptedDrops(const std::vector<std::string>& paths,
                                       const std::string& patterns) {
  std::vector<std::string> taken;
  for (const std::string& p : paths)
    if (AcceptsDroppedFile(p, patterns)) taken.push_back(p);
  return taken;
}

bool ListTakesFile(ConvertKind list, media::CacheKind cache) {
  if (cache == media::CacheKind::None) return true;
  return list == ConvertKind::Video || list == ConvertKind::Gif;
}

std::string MainWindowTitle(const std::string& partnerTitle, const std::string& productName,
                            const std::string& versionText, bool showVersion) {
  const std::string& name = partnerTitle.empty() ? productName : partnerTitle;
  return name + "  " + (showVersion ? versionText : std::string());
}

std::string FormatRowText(OutputFormat format) {
  static const char* const texts[] = {"MP4", "MKV", "AVI", "WMV", "FLV", "MOV", "GIF", "MP3", "M4A"};
  int v = static_cast<int>(format);
  return v >= 0 && v <= 8 ? texts[v] : "";
}

std::string FormatLabel(OutputFormat format, SizePreset preset, const std::string& originText) {
  std::string label = FormatRowText(format);
  if (!label.empty()) label += " - ";
  const bool gif = format == OutputFormat::Gif;
  switch (preset) {
    case SizePreset::Origin: return label + originText;
    case SizePreset::Size1080: return label + "1920x1080";
    case SizePreset::Size720: return label + "1280x720";
    case SizePreset::Dvd: return label + (gif ? "720P" : "720x576");
    case SizePreset::Tv: return label + (gif ? "360P" : "640x480");
    case SizePreset::Phone: return label + (gif ? "200P" : "320x240");
    case SizePreset::Audio256: return label + "256 kbps";
    case SizePreset::Audio128: return label + "128 kbps";
    case SizePreset::Audio96: return label + "96 kbps";
  }
  return label;
}

const char* StartButtonTextKey(ConvertKind list) {
  switch (list) {
    case ConvertKind::Audio: return "BtnExtractTxt";
    case ConvertKind::Merge: return "BtnMergeTxt";
    default: return "BtnConverTxt";
  }
}

std::string OpenFileFilter(const std::string& text, const std::string& description,
                           const std::string& patterns) {
  // "*.mp4;*.mkv;" becomes "*.mp4 *.mkv", the form the file dialog reads.
  std::string list;
  size_t pos = 0;
  while (pos < patterns.size()) {
    size_t end = patterns.find(';', pos);
    if (end == std::string::npos) end = patterns.size();
    std::string one = platform::Trim(patterns.substr(pos, end - pos));
    if (!one.empty()) list += (list.empty() ? "" : " ") + one;
    pos = end + 1;
  }
  return text + description + " (" + list + ")";
}

std::string AudioBitRateLabel(SizePreset preset, const std::string& sourceBitRate) {
  switch (preset) {
    case SizePreset::Audio256: return "256 kbps";
    case SizePreset::Audio128: return "128 kbps";
    case SizePreset::Audio96: return "96 kbps";
    default: return sourceBitRate.empty() ? std::string() : sourceBitRate + " kbps";
  }
}

int DpiStep(int dpi) {
  if (dpi >= 192) return 192;
  if (dpi >= 144) return 144;
  if (dpi >= 120) return 120;
  return 96;
}

}  // namespace ui
