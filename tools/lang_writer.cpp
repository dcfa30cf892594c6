// Compiles one language text source (lang/*.txt) into a language file.
//
//   pelmar-lang-writer <source.txt> <output.dat>
//
// Source format, UTF-8: "[Section]" starts a section; "key=value" lines
// follow (the first '=' separates; the value runs to the end of the line,
// with \n for a line break, \t for a tab and \\ for a backslash); blank lines
// and lines whose first non-blank character is '#' are skipped.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/core/lang_file.h"
#include "platform/files.h"

namespace {

using app::LangEntry;
using app::LangSection;

struct Source {
  std::string path;
  std::vector<LangSection> sections;
  std::string error;

  bool Fail(int line, const std::string& message) {
    error = path + ":" + std::to_string(line) + ": " + message;
    return false;
  }
};

bool ValidSectionName(const std::string& name) {
  // A stream name of a compound file: at most 31 characters, none of these.
  if (name.empty() || name.size() > 31) return false;
  for (unsigned char c : name)
    if (c <= ' ' || c >= 0x7F || c == '/' || c == '\\' || c == ':' || c == '!') return false;
  return true;
}

bool ValidKey(const std::string& key) {
  if (key.empty()) return false;
  for (unsigned char c : key)
    if (c <= ' ' || c == 0x7F || c == '[' || c == ']') return false;
  return true;
}

bool Unescape(const std::string& raw, std::string* value) {
  value->clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      value->push_back(raw[i]);
      continue;
    }
    if (++i == raw.size()) return false;
    switch (raw[i]) {
      case 'n': value->push_back('\n'); break;
      case 't': value->push_back('\t'); break;
      case '\\': value->push_back('\\'); break;
      default: return false;
    }
  }
  return true;
}

bool Parse(const std::string& text, Source* src) {
  if (app::Utf16ToUtf8(app::Utf8ToUtf16(text)) != text || text.find('\0') != std::string::npos)
    return src->Fail(1, "the file is not UTF-8 text");
  size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::map<std::string, int> firstLine;  // keys of the current section
  size_t streamBytes = 0;
  LangSection* section = nullptr;
  for (int line = 1; pos <= text.size(); ++line) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string s = text.substr(pos, end - pos);
    pos = end + 1;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos || s[first] == '#') continue;

    if (s[0] == '[') {
      std::string name = s.size() >= 2 && s.back() == ']' ? s.substr(1, s.size() - 2) : "";
      if (!ValidSectionName(name)) return src->Fail(line, "bad section line \"" + s + "\"");
      for (const LangSection& other : src->sections)
        if (other.name == name) return src->Fail(line, "section [" + name + "] appears twice");
      src->sections.push_back(LangSection{name, {}});
      section = &src->sections.back();
      firstLine.clear();
      streamBytes = 2;  // the terminating empty entry
      continue;
    }

    size_t eq = s.find('=');
    if (eq == std::string::npos) return src->Fail(line, "expected key=value, found \"" + s + "\"");
    LangEntry entry{s.substr(0, eq), ""};
    if (!section) return src->Fail(line, "key \"" + entry.key + "\" comes before any [Section]");
    if (!ValidKey(entry.key)) return src->Fail(line, "bad key \"" + entry.key + "\"");
    if (!Unescape(s.substr(eq + 1), &entry.value))
      return src->Fail(line, "key \"" + entry.key + "\": unknown escape (use \\n, \\t or \\\\)");
    auto [it, added] = firstLine.emplace(entry.key, line);
    if (!added)
      return src->Fail(line, "duplicate key \"" + entry.key + "\" in [" + section->name +
                                 "] (first on line " + std::to_string(it->second) + ")");
    streamBytes += 2 * (app::Utf8ToUtf16(entry.key + "=" + entry.value).size() + 1);
    if (streamBytes >= app::kLangStreamLimit)
      return src->Fail(line, "section [" + section->name + "] reaches " +
                                 std::to_string(streamBytes) + " bytes at key \"" + entry.key +
                                 "\"; a section must stay below " +
                                 std::to_string(app::kLangStreamLimit) + " bytes");
    section->entries.push_back(std::move(entry));
  }
  if (src->sections.empty()) return src->Fail(1, "no [Section] in the file");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <source.txt> <output.dat>\n", argv[0]);
    return 2;
  }
  Source src;
  src.path = argv[1];
  std::string text;
  if (!platform::ReadFile(src.path, &text)) {
    fprintf(stderr, "%s: cannot read the file\n", src.path.c_str());
    return 1;
  }
  if (!Parse(text, &src)) {
    fprintf(stderr, "%s\n", src.error.c_str());
    return 1;
  }
  std::string error;
  if (!app::WriteLangFile(argv[2], src.sections, &error)) {
    fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  return 0;
}
