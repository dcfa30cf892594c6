// What each folder of the program may include, and the check of a tree
// against it.
#pragma once

#include <string>
#include <vector>

namespace layers {

// Families of outside headers, told apart by their <…> names.
enum Library : unsigned {
  kQt = 1,       // <QWidget>, <QtCore/…>
  kFFmpeg = 2,   // <libavformat/…>, <libswscale/…>, …
  kSdl = 4,      // <SDL.h>, <SDL2/…>
  kX11 = 8,      // <X11/…>
  kGsf = 16,     // <gsf/…>, <glib.h>
  kGtest = 32,   // <gtest/…>
};

struct FolderRule {
  std::string folder;              // "ui/clip_editor/rules"; a file takes the longest match
  std::vector<std::string> uses;   // folders of the program it may include besides itself
  unsigned libraries = 0;          // Library bits
  bool everything = false;         // tests and benchmarks
  std::vector<std::string> files = {};  // single headers of other folders it may include
};

// The program's rules, one per folder README.
const std::vector<FolderRule>& ProgramRules();

struct Violation {
  std::string file;  // relative to the tree
  int line = 0;
  std::string include;
  std::string why;
};

// Every #include of every C++ file below `root` checked against `rules`.
// Folders holding a CMakeCache.txt (build trees) and hidden ones are
// skipped; a file in a folder without a rule is a violation of its own.
std::vector<Violation> CheckTree(const std::string& root, const std::vector<FolderRule>& rules);

}  // namespace layers
