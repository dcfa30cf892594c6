// The main window's rules that need no window: which dropped files are
// taken, the title, the start button and the open-file filter.
#pragma once

#include <string>
#include <vector>

#include "engine/format_catalog.h"

namespace ui {

// A dropped file is taken when "*" + its lower-cased extension + ";" occurs
// in the pattern list ("*.mp4;*.mkv;"); a file without extension never is.
bool AcceptsDroppedFile(const std::string& path, const std::string& patterns);
std::vector<std::string> AcceptedDrops(const std::vector<std::string>& paths,
                                       const std::string& patterns);

// Files of sound alone: the audio list takes them beside the pattern list.
constexpr char kSoundPatterns[] = "*.mp3;*.m4a;*.aac;*.wav;*.flac;*.ogg;*.oga;*.opus;*.wma;";
// The patterns of the files a list takes.
std::string ListPatterns(engine::ConvertKind list, const std::string& patterns);

// Dropped or chosen files split by what the list makes of them: taken,
// sound files for the audio list, and files no list takes (by name).
struct SortedFiles {
  std::vector<std::string> taken;
  std::vector<std::string> soundNames;
  std::vector<std::string> otherNames;
};
SortedFiles SortFiles(engine::ConvertKind list, const std::vector<std::string>& paths,
                      const std::string& patterns);

// "<name>  <version>" (two blanks): the partner's title text when set, else
// the product name; the version only when oem.ini shows it.
std::string MainWindowTitle(const std::string& partnerTitle, const std::string& productName,
                            const std::string& versionText, bool showVersion);

// The start button's text key for a list.
const char* StartButtonTextKey(engine::ConvertKind list);

// The open-file filter: "<text><description> (<patterns as Qt wants them>)".
std::string OpenFileFilter(const std::string& text, const std::string& description,
                           const std::string& patterns);

// The scale step of a screen's dots per inch: 96, 120, 144 or 192, always
// rounded down. Qt scales the windows itself; the step is what the skin's
// pictures are drawn for.
int DpiStep(int dpi);

}  // namespace ui
