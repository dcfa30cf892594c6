// Compiles one language text source (lang/*.txt) into a language file.
//
//   pelmar-lang-writer <source.txt> <output.dat>
//
// The source is read by app/core's ParseLangSource, as every tool reads it.
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/lang_file.h"
#include "app/core/lang_source.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <source.txt> <output.dat>\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  std::string text, error;
  if (!platform::ReadFile(path, &text)) {
    fprintf(stderr, "%s: cannot read the file\n", path.c_str());
    return 1;
  }
  std::vector<app::LangSection> sections;
  if (!app::ParseLangSource(text, path, &sections, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!app::WriteLangFile(argv[2], sections, &error)) {
    fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  return 0;
}
