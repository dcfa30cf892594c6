#include "app/core/lang_source.h"

#include <map>

namespace app {
namespace {

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

}  // namespace

bool ParseLangSource(const std::string& text, const std::string& path,
                     std::vector<LangSection>* sections, std::string* error) {
  sections->clear();
  auto fail = [&](int line, const std::string& message) {
    *error = path + ":" + std::to_string(line) + ": " + message;
    return false;
  };
  if (Utf16ToUtf8(Utf8ToUtf16(text)) != text || text.find('\0') != std::string::npos)
    return fail(1, "the file is not UTF-8 text");
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
      if (!ValidSectionName(name)) return fail(line, "bad section line \"" + s + "\"");
      for (const LangSection& other : *sections)
        if (other.name == name) return fail(line, "section [" + name + "] appears twice");
      sections->push_back(LangSection{name, {}});
      section = &sections->back();
      firstLine.clear();
      streamBytes = 2;  // the terminating empty entry
      continue;
    }

    size_t eq = s.find('=');
    if (eq == std::string::npos) return fail(line, "expected key=value, found \"" + s + "\"");
    LangEntry entry{s.substr(0, eq), ""};
    if (!section) return fail(line, "key \"" + entry.key + "\" comes before any [Section]");
    if (!ValidKey(entry.key)) return fail(line, "bad key \"" + entry.key + "\"");
    if (!Unescape(s.substr(eq + 1), &entry.value))
      return fail(line, "key \"" + entry.key + "\": unknown escape (use \\n, \\t or \\\\)");
    auto [it, added] = firstLine.emplace(entry.key, line);
    if (!added)
      return fail(line, "duplicate key \"" + entry.key + "\" in [" + section->name +
                            "] (first on line " + std::to_string(it->second) + ")");
    // The section becomes one stream of the language file, which must stay
    // below the size the reader looks at.
    streamBytes += 2 * (Utf8ToUtf16(entry.key + "=" + entry.value).size() + 1);
    if (streamBytes >= kLangStreamLimit)
      return fail(line, "section [" + section->name + "] reaches " + std::to_string(streamBytes) +
                            " bytes at key \"" + entry.key + "\"; a section must stay below " +
                            std::to_string(kLangStreamLimit) + " bytes");
    section->entries.push_back(std::move(entry));
  }
  if (sections->empty()) return fail(1, "no [Section] in the file");
  return true;
}

}  // namespace app
