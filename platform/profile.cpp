#include "platform/profile.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

// A settings file larger than this is not ours; it reads as empty and is never rewritten.
constexpr int64_t kMaxProfileBytes = 16 * 1024 * 1024;

std::mutex& WriteMutex() {
  static std::mutex m;
  return m;
}

struct Document {
  std::vector<std::string> lines;
  std::string eol = "\n";
  bool bom = false;
};

bool Load(const std::string& file, Document* doc) {
  std::string content;
  if (!ReadFile(file, &content, kMaxProfileBytes)) return false;
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    doc->bom = true;
    content.erase(0, 3);
  }
  size_t firstNl = content.find('\n');
  if (firstNl != std::string::npos && firstNl > 0 && content[firstNl - 1] == '\r')
    doc->eol = "\r\n";
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    doc->lines.push_back(line);
    pos = end + 1;
  }
  return true;
}

// "[name]" gives name; anything else is not a section line.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyOf(const std::string& line, std::string* key, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  if (value) *value = Trim(t.substr(eq + 1));
  return true;
}

// Line range [begin, end) of a section's body; begin is npos when missing.
void FindSection(const Document& doc, const std::string& section, size_t* header, size_t* end) {
  *header = std::string::npos;
  *end = doc.lines.size();
  std::string name;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    if (!SectionName(doc.lines[i], &name)) continue;
    if (*header != std::string::npos) {
      *end = i;
      return;
    }
    if (EqualsNoCase(name, section)) *header = i;
  }
}

size_t FindKey(const Document& doc, size_t header, size_t end, const std::string& key,
               std::string* value) {
  std::string k;
  for (size_t i = header + 1; i < end; ++i)
    if (KeyOf(doc.lines[i], &k, value) && EqualsNoCase(k, key)) return i;
  return std::string::npos;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

bool Store(const std::string& file, const Document& doc, unsigned newFileMode) {
  std::string out = doc.bom ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : doc.lines) out += line + doc.eol;
  // Replace the file a link points at, not the link; keep the file's mode.
  std::string target = file;
  if (char* real = realpath(file.c_str(), nullptr)) {
    target = real;
    free(real);
  }
  unsigned mode = newFileMode;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  return WriteFileAtomic(target, out, mode);
}

// Changes one key (value == nullptr deletes it) under the write lock.
bool Modify(const std::string& file, const std::string& section, const std::string& key,
            const std::string* value, unsigned newFileMode) {
  if (file.empty() || section.empty() || key.empty()) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  Document doc;
  if (!Load(file, &doc) && FileExists(file)) return false;  // unreadable: never clobber it
  size_t header, end;
  FindSection(doc, section, &header, &end);
  if (header == std::string::npos) {
    if (!value) return true;
    if (!doc.lines.empty() && !Trim(doc.lines.back()).empty()) doc.lines.push_back("");
    doc.lines.push_back("[" + section + "]");
    doc.lines.push_back(key + "=" + *value);
    return Store(file, doc, newFileMode);
  }
  size_t at = FindKey(doc, header, end, key, nullptr);
  if (at != std::string::npos) {
    if (value) doc.lines[at] = key + "=" + *value;
    else doc.lines.erase(doc.lines.begin() + static_cast<long>(at));
  } else {
    if (!value) return true;
    size_t insert = end;  // after the section's last non-blank line
    while (insert > header + 1 && Trim(doc.lines[insert - 1]).empty()) --insert;
    doc.lines.insert(doc.lines.begin() + static_cast<long>(insert), key + "=" + *value);
  }
  return Store(file, doc, newFileMode);
}

}  // namespace

std::string ProfileGetString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def,
                             size_t bufferChars) {
  const size_t limit = bufferChars > 0 ? bufferChars - 1 : 0;
  Document doc;
  if (file.empty() || !Load(file, &doc)) return TruncateUtf8Chars(def, limit);
  size_t header, end;
  FindSection(doc, section, &header, &end);
  if (header == std::string::npos) return TruncateUtf8Chars(def, limit);
  std::string value;
  if (FindKey(doc, header, end, key, &value) == std::string::npos)
    return TruncateUtf8Chars(def, limit);
  return TruncateUtf8Chars(Unquote(value), limit);
}

int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int def) {
  // A marker no real value holds tells "missing" from a value.
  static const std::string missing = "\x01missing\x01";
  std::string v = ProfileGetString(file, section, key, missing);
  if (v == missing || v.empty()) return def;
  return static_cast<int>(LeadingInteger(v));
}

bool ProfileWriteString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value, unsigned newFileMode) {
  // A line break would split the entry into lines the reader takes apart.
  if (value.find_first_of("\r\n") != std::string::npos) return false;
  return Modify(file, section, key, &value, newFileMode);
}

bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key,
                     int value, unsigned newFileMode) {
  return ProfileWriteString(file, section, key, std::to_string(value), newFileMode);
}

bool ProfileDeleteKey(const std::string& file, const std::string& section,
                      const std::string& key) {
  return Modify(file, section, key, nullptr, 0644);
}

}  // namespace platform
