#include "tests/layers/include_rules.h"

#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace layers {

// What the front ends see of the engine: its session and what the session
// hands them.
const std::vector<std::string> kFrontEndEngine = {"engine/list_session.h",
                                                  "engine/format_catalog.h",
                                                  "engine/video_item.h"};

// Each row stands for the "May use:" line of the folder's README.md; a
// change of the one belongs with a change of the other.
const std::vector<FolderRule>& ProgramRules() {
  static const std::vector<FolderRule> rules = {
      // platform/: the C++ standard library, POSIX and Linux system calls.
      {"platform", {}, 0},
      // app/core/: platform/, the C++ standard library and libgsf.
      {"app/core", {"platform"}, kGsf},
      // media/: platform/, app/core/, the FFmpeg libraries.
      {"media", {"platform", "app/core"}, kFFmpeg},
      // engine/: media/, app/core/, platform/, the FFmpeg libraries.
      {"engine", {"media", "app/core", "platform"}, kFFmpeg},
      // plugin/: plain C++17 and platform/ (the system ffmpeg only as a child).
      {"plugin", {"platform"}, 0},
      // cli/: the engine's session, catalogue and item record, app/core/,
      // platform/, FFmpeg's log level.
      {"cli", {"app/core", "platform"}, kFFmpeg, false, kFrontEndEngine},
      // tools/: platform/, app/core/ and the C++ standard library; the skin
      // preview also the UI module on Qt.
      {"tools", {"app/core", "platform"}, 0},
      {"tools/skin_preview", {"app/ui", "app/core", "platform"}, kQt},
      // app/ui/: app/core/, platform/, Qt 6 and Xlib; nothing of the engine.
      {"app/ui", {"app/core", "platform"}, kQt | kX11},
      // ui/: app/ui/, app/core/, platform/, the engine's session, catalogue
      // and item record, the clip editor of ui/clip_editor/, Qt 6.
      {"ui", {"app/ui", "app/core", "platform", "ui/clip_editor"}, kQt, false, kFrontEndEngine},
      // ui/clip_editor/: the clip editor window, on the player core, its
      // controls and rules, and app/ui/.
      {"ui/clip_editor",
       {"player", "ui/clip_editor/widgets", "ui/clip_editor/rules", "app/ui", "app/core",
        "platform"},
       kQt},
      // ui/clip_editor/widgets/: the clip rules and app/ui/, on Qt.
      {"ui/clip_editor/widgets", {"ui/clip_editor/rules", "app/ui", "app/core", "platform"}, kQt},
      // ui/clip_editor/rules/: the editor's rules alone; no toolkit.
      {"ui/clip_editor/rules", {"platform"}, 0},
      // player/: FFmpeg, SDL2, the sources of media/, and Xlib in the
      // preview program. No Qt.
      {"player", {"media", "platform"}, kFFmpeg | kSdl | kX11},
      // tests/ and bench/: everything of the program.
      {"tests", {}, 0, true},
      {"bench", {}, 0, true},
  };
  return rules;
}

namespace {

bool IsSourceFile(const fs::path& p) {
  const std::string ext = p.extension().string();
  return ext == ".cpp" || ext == ".h" || ext == ".cc" || ext == ".hpp" || ext == ".inc";
}

// The rule with the longest folder that holds `path` (relative, with '/').
const FolderRule* RuleOf(const std::string& path, const std::vector<FolderRule>& rules) {
  const FolderRule* best = nullptr;
  for (const FolderRule& r : rules) {
    if (path.compare(0, r.folder.size() + 1, r.folder + "/") != 0) continue;
    if (!best || r.folder.size() > best->folder.size()) best = &r;
  }
  return best;
}

unsigned LibraryOf(const std::string& name) {
  if (name.size() >= 2 && name[0] == 'Q' && std::isalpha(static_cast<unsigned char>(name[1])))
    return kQt;
  for (const char* prefix : {"libavformat/", "libavcodec/", "libavutil/", "libavfilter/",
                             "libavdevice/", "libswresample/", "libswscale/"}) {
    if (name.rfind(prefix, 0) == 0) return kFFmpeg;
  }
  if (name.rfind("SDL", 0) == 0) return kSdl;
  if (name.rfind("X11/", 0) == 0) return kX11;
  if (name.rfind("gsf/", 0) == 0 || name.rfind("glib", 0) == 0) return kGsf;
  if (name.rfind("gtest/", 0) == 0 || name.rfind("gmock/", 0) == 0) return kGtest;
  return 0;  // the standard library and the system
}

const char* LibraryName(unsigned library) {
  switch (library) {
    case kQt: return "Qt";
    case kFFmpeg: return "FFmpeg";
    case kSdl: return "SDL";
    case kX11: return "Xlib";
    case kGsf: return "libgsf";
    default: return "GoogleTest";
  }
}

void CheckFile(const fs::path& root, const fs::path& file, const std::vector<FolderRule>& rules,
               std::vector<Violation>* out) {
  const std::string rel = fs::relative(file, root).generic_string();
  const FolderRule* rule = RuleOf(rel, rules);
  if (!rule) {
    out->push_back({rel, 0, "", "its folder has no rule: state what it may use in its README "
                                "and in tests/layers/include_rules.cpp"});
    return;
  }
  if (rule->everything) return;
  static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::ifstream in(file);
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    std::smatch m;
    if (!std::regex_search(text, m, kInclude)) continue;
    const std::string name = m[2].str();
    if (m[1].str() == "<") {
      const unsigned library = LibraryOf(name);
      if (library && !(rule->libraries & library))
        out->push_back({rel, number, name,
                        rule->folder + "/ may not use " + LibraryName(library)});
      continue;
    }
    // A name of the program: "engine/command.h". One without a folder is a
    // file beside the includer (a generated .moc).
    if (name.find('/') == std::string::npos) continue;
    const FolderRule* target = RuleOf(name, rules);
    const std::string folder = target ? target->folder : name.substr(0, name.find('/'));
    if (folder == rule->folder) continue;
    bool allowed = false;
    for (const std::string& use : rule->uses) {
      // A folder may use the subfolders of what it may use: "ui/clip_editor"
      // covers "ui/clip_editor/rules".
      if (folder == use || folder.rfind(use + "/", 0) == 0) allowed = true;
    }
    for (const std::string& single : rule->files)
      if (name == single) allowed = true;
    if (!allowed)
      out->push_back({rel, number, name, rule->folder + "/ may not include " + folder + "/"});
  }
}

}  // namespace

std::vector<Violation> CheckTree(const std::string& root, const std::vector<FolderRule>& rules) {
  std::vector<Violation> out;
  const fs::path base(root);
  for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& p = it->path();
    if (it->is_directory()) {
      if (p.filename().string()[0] == '.' || fs::exists(p / "CMakeCache.txt"))
        it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && IsSourceFile(p)) CheckFile(base, p, rules, &out);
  }
  return out;
}

}  // namespace layers
