#include "ui/main_window_rules.h"

#include "app/core/language.h"
#include "platform/files.h"
#include "platform/text.h"

namespace ui {

using engine::ConvertKind;

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

std::string ListPatterns(ConvertKind list, const std::string& patterns) {
  return list == ConvertKind::Audio ? patterns + kSoundPatterns : patterns;
}

SortedFiles SortFiles(ConvertKind list, const std::vector<std::string>& paths,
                      const std::string& patterns) {
  const std::string taken = ListPatterns(list, patterns);
  SortedFiles sorted;
  for (const std::string& p : paths) {
    if (AcceptsDroppedFile(p, taken)) sorted.taken.push_back(p);
    else if (AcceptsDroppedFile(p, kSoundPatterns)) sorted.soundNames.push_back(platform::FileNameOf(p));
    else sorted.otherNames.push_back(platform::FileNameOf(p));
  }
  return sorted;
}

std::string MainWindowTitle(const std::string& partnerTitle, const std::string& productName,
                            const std::string& versionText, bool showVersion) {
  const std::string& name = partnerTitle.empty() ? productName : partnerTitle;
  return name + "  " + (showVersion ? versionText : std::string());
}

const char* StartButtonTextKey(ConvertKind list) {
  switch (list) {
    case ConvertKind::Audio: return app::langkey::kBtnExtractTxt;
    case ConvertKind::Merge: return app::langkey::kBtnMergeTxt;
    default: return app::langkey::kBtnConverTxt;
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

int DpiStep(int dpi) {
  if (dpi >= 192) return 192;
  if (dpi >= 144) return 144;
  if (dpi >= 120) return 120;
  return 96;
}

}  // namespace ui
