// Writes one language's texts into the skin layouts.
//
//   pelmar-skin-filler <lang/xx.txt> <output folder> <layout>...
//
// A layout names a text as {{Section.Key}} of the language source. Written
// into a window layout as <string>{{Section.Key}}</string>, the string gets
// the id "Section.Key"; written as a whole attribute value (text="{{…}}"),
// the element gets the attribute "<name>id" = "Section.Key". The program
// reloads exactly these marked texts when the language changes. Every other
// place takes the text only. A missing key stops the build.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "app/core/lang_source.h"
#include "platform/files.h"

namespace {

using Texts = std::map<std::string, std::string>;  // "Section.Key" → value

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\t':
        out += "&#9;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

int LineOf(const std::string& text, size_t pos) {
  int line = 1;
  for (size_t i = 0; i < pos && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

bool Fill(const std::string& source, const std::string& layout, const Texts& texts,
          std::string* out) {
  out->clear();
  size_t pos = 0;
  while (true) {
    const size_t open = layout.find("{{", pos);
    if (open == std::string::npos) break;
    const size_t close = layout.find("}}", open + 2);
    if (close == std::string::npos) {
      fprintf(stderr, "%s:%d: \"{{\" without \"}}\"\n", source.c_str(), LineOf(layout, open));
      return false;
    }
    const std::string key = layout.substr(open + 2, close - open - 2);
    auto it = texts.find(key);
    if (it == texts.end()) {
      fprintf(stderr, "%s:%d: the language has no text %s\n", source.c_str(), LineOf(layout, open),
              key.c_str());
      return false;
    }
    std::string before = layout.substr(pos, open - pos);
    const std::string value = XmlEscape(it->second);
    const bool wholeString = before.size() >= 8 &&
                             before.compare(before.size() - 8, 8, "<string>") == 0 &&
                             layout.compare(close + 2, 9, "</string>") == 0;
    const bool wholeAttr =
        !before.empty() && before.back() == '"' && layout.compare(close + 2, 1, "\"") == 0;
    if (wholeString) {
      before.replace(before.size() - 8, 8, "<string id=\"" + key + "\">");
      *out += before + value;
      pos = close + 2;
    } else if (wholeAttr && before.size() >= 2 && before[before.size() - 2] == '=') {
      // text="{{Skin.Key}}" → text="value" textid="Skin.Key"
      size_t nameEnd = before.size() - 2, nameStart = nameEnd;
      while (nameStart > 0 && (isalnum(static_cast<unsigned char>(before[nameStart - 1])) ||
                               before[nameStart - 1] == '_')) {
        --nameStart;
      }
      const std::string attr = before.substr(nameStart, nameEnd - nameStart);
      *out += before + value + "\" " + attr + "id=\"" + key;
      pos = close + 2;
    } else {
      *out += before + value;
      pos = close + 2;
    }
  }
  *out += layout.substr(pos);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s <language.txt> <output folder> <layout>...\n", argv[0]);
    return 2;
  }
  // The language source, read as the language file writer reads it.
  std::string languageText, error;
  if (!platform::ReadFile(argv[1], &languageText)) {
    fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  std::vector<app::LangSection> sections;
  if (!app::ParseLangSource(languageText, argv[1], &sections, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  Texts texts;
  for (const app::LangSection& section : sections)
    for (const app::LangEntry& entry : section.entries)
      texts[section.name + "." + entry.key] = entry.value;
  const std::string folder = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string source = argv[i];
    std::string layout, filled;
    if (!platform::ReadFile(source, &layout)) {
      fprintf(stderr, "%s: cannot read\n", source.c_str());
      return 1;
    }
    if (!Fill(source, layout, texts, &filled)) return 1;
    const size_t slash = source.find_last_of('/');
    const std::string target =
        folder + "/" + source.substr(slash == std::string::npos ? 0 : slash + 1);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << filled;
    if (!out.good()) {
      fprintf(stderr, "%s: cannot write\n", target.c_str());
      return 1;
    }
  }
  return 0;
}
