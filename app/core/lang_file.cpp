#include "app/core/lang_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <mutex>

#include "platform/files.h"

namespace app {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// libgsf promises nothing about threads, and GLib's slice allocator hands
// memory between threads behind the thread checker's back: one user at a time.
std::mutex& GsfMutex() {
  static std::mutex mutex;
  return mutex;
}

// Initializes libgsf once and holds its lock.
std::unique_lock<std::mutex> UseGsf() {
  std::unique_lock<std::mutex> lock(GsfMutex());
  static bool initialized = false;
  if (!initialized) {
    gsf_init();
    initialized = true;
  }
  return lock;
}

// Releases a GObject reference when it leaves scope.
template <typename T>
struct Ref {
  T* p = nullptr;
  explicit Ref(T* object) : p(object) {}
  ~Ref() {
    if (p) g_object_unref(p);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
};

void AppendUnit(std::string* bytes, char16_t unit) {
  bytes->push_back(static_cast<char>(unit & 0xFF));
  bytes->push_back(static_cast<char>(unit >> 8));
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// At most maxUnits units, never ending on the first half of a pair.
std::u16string CutUnits(std::u16string text, size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  text.resize(maxUnits);
  if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
  return text;
}

bool Finish(const std::u16string& text, bool found, std::string* value, size_t bufferChars) {
  *value = bufferChars == 0 ? std::string() : Utf16ToUtf8(CutUnits(text, bufferChars - 1));
  return found;
}

// Walks the entries of a stream as read from the file (still scrambled).
bool FindInStream(std::string bytes, const std::u16string& key, std::u16string* value) {
  ScrambleLangStream(&bytes);
  // Units up to the largest even offset, then the NUL that ends the walk even
  // when the stream lacks its terminating empty entry.
  const size_t count = bytes.size() / 2;
  std::vector<char16_t> units(count + 1, 0);
  for (size_t i = 0; i < count; ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  size_t p = 0;
  while (p < units.size() && units[p] != 0) {
    size_t end = p;
    while (units[end] != 0) ++end;
    auto first = units.begin() + p;
    auto last = units.begin() + end;
    auto eq = std::find(first, last, u'=');
    if (eq != last && static_cast<size_t>(eq - first) == key.size() &&
        std::equal(first, eq, key.begin())) {
      value->assign(eq + 1, last);
      return true;
    }
    p = end + 1;
  }
  return false;
}

bool HasChild(GsfInfile* ole, const char* name) {
  Ref<GsfInput> child(gsf_infile_child_by_name(ole, name));
  return child.p != nullptr;
}

// The section stream of a compound file into bytes; otherwise says what is missing.
LangLookup ReadSection(GsfInput* source, const std::string& section, std::string* bytes) {
  GError* err = nullptr;
  Ref<GsfInfile> ole(gsf_infile_msole_new(source, &err));
  if (err) g_error_free(err);
  if (!ole.p) return LangLookup::Damaged;
  Ref<GsfInput> stream(gsf_infile_child_by_name(ole.p, section.c_str()));
  if (!stream.p) {
    // A language file without any section the program reads is no language file.
    return HasChild(ole.p, "Text") || HasChild(ole.p, "Message") ? LangLookup::NoSection
                                                                 : LangLookup::Damaged;
  }
  // A storage of that name is not a section.
  if (GSF_IS_INFILE(stream.p) && gsf_infile_num_children(GSF_INFILE(stream.p)) >= 0)
    return LangLookup::NoSection;
  gsf_off_t size = gsf_input_size(stream.p);
  if (size <= 0) return LangLookup::NoSection;
  size_t n = static_cast<size_t>(std::min<gsf_off_t>(size, kLangStreamLimit));
  bytes->assign(n, '\0');
  // A stream that cannot be read in full lies past the end of a cut-off file.
  if (gsf_input_read(stream.p, n, reinterpret_cast<guint8*>(&(*bytes)[0])) == nullptr)
    return LangLookup::Damaged;
  return LangLookup::Found;
}

bool ReadFromSource(GsfInput* source, const std::string& section, const std::string& key,
                    const std::string& defaultValue, std::string* value, size_t bufferChars,
                    LangLookup* how) {
  std::string bytes;
  std::u16string found;
  LangLookup outcome = source ? ReadSection(source, section, &bytes) : LangLookup::NoFile;
  if (outcome == LangLookup::Found && !FindInStream(std::move(bytes), Utf8ToUtf16(key), &found))
    outcome = LangLookup::NoKey;
  if (how) *how = outcome;
  if (outcome == LangLookup::Found) return Finish(found, true, value, bufferChars);
  return Finish(Utf8ToUtf16(defaultValue), false, value, bufferChars);
}

}  // namespace

void ScrambleLangStream(std::string* bytes) {
  const size_t n = bytes->size();
  for (size_t k = 0; k + 4 < n; k += 4) {
    (*bytes)[k] = static_cast<char>((*bytes)[k] ^ (kLangScrambleMask & 0xFF));
    (*bytes)[k + 1] = static_cast<char>((*bytes)[k + 1] ^ ((kLangScrambleMask >> 8) & 0xFF));
    (*bytes)[k + 2] = static_cast<char>((*bytes)[k + 2] ^ ((kLangScrambleMask >> 16) & 0xFF));
    (*bytes)[k + 3] = static_cast<char>((*bytes)[k + 3] ^ ((kLangScrambleMask >> 24) & 0xFF));
  }
}

std::string EncodeLangStream(const std::vector<LangEntry>& entries) {
  std::string bytes;
  for (const LangEntry& e : entries) {
    for (char16_t u : Utf8ToUtf16(e.key + "=" + e.value)) AppendUnit(&bytes, u);
    AppendUnit(&bytes, 0);
  }
  AppendUnit(&bytes, 0);
  return bytes;
}

bool BuildCompoundFile(const std::vector<LangStream>& streams, std::string* file,
                       std::string* error) {
  auto gsf = UseGsf();
  Ref<GsfOutput> sink(gsf_output_memory_new());
  bool ok = true;
  {
    Ref<GsfOutfile> ole(gsf_outfile_msole_new(sink.p));
    if (!ole.p) {
      if (error) *error = "cannot start a compound file";
      return false;
    }
    for (const LangStream& s : streams) {
      Ref<GsfOutput> child(gsf_outfile_new_child(ole.p, s.name.c_str(), FALSE));
      ok = child.p != nullptr &&
           (s.bytes.empty() ||
            gsf_output_write(child.p, s.bytes.size(),
                             reinterpret_cast<const guint8*>(s.bytes.data()))) &&
           gsf_output_close(child.p);
      if (!ok) {
        if (error) *error = "cannot store the stream \"" + s.name + "\"";
        break;
      }
    }
    if (!gsf_output_close(GSF_OUTPUT(ole.p)) && ok) {
      ok = false;
      if (error) *error = "cannot finish the compound file";
    }
  }
  if (ok) {
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.p));
    gsf_off_t size = gsf_output_size(sink.p);
    file->assign(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  }
  if (!gsf_output_is_closed(sink.p)) gsf_output_close(sink.p);
  return ok;
}

bool BuildLangFile(const std::vector<LangSection>& sections, std::string* file,
                   std::string* error) {
  std::vector<LangStream> streams;
  for (const LangSection& section : sections) {
    for (const LangEntry& e : section.entries) {
      if (e.key.empty() || e.key.find_first_of(std::string("=\0", 2)) != std::string::npos ||
          e.value.find('\0') != std::string::npos) {
        if (error) *error = "section [" + section.name + "]: key \"" + e.key + "\" cannot be stored";
        return false;
      }
    }
    LangStream s{section.name, EncodeLangStream(section.entries)};
    if (s.bytes.size() >= kLangStreamLimit) {
      if (error)
        *error = "section [" + section.name + "] is " + std::to_string(s.bytes.size()) +
                 " bytes; it must stay below " + std::to_string(kLangStreamLimit);
      return false;
    }
    ScrambleLangStream(&s.bytes);
    streams.push_back(std::move(s));
  }
  return BuildCompoundFile(streams, file, error);
}

bool WriteLangFile(const std::string& path, const std::vector<LangSection>& sections,
                   std::string* error) {
  std::string file;
  if (!BuildLangFile(sections, &file, error)) return false;
  if (!platform::WriteFileAtomic(path, file, 0644)) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ReadLangValue(const std::string& section, const std::string& key,
                   const std::string& defaultValue, std::string* value, size_t bufferChars,
                   const std::string& path, LangLookup* how) {
  auto gsf = UseGsf();
  GError* err = nullptr;
  Ref<GsfInput> source(gsf_input_stdio_new(path.c_str(), &err));
  if (err) g_error_free(err);
  if (!source.p && platform::FileExists(path)) {
    // There, but not to be read: as good as damaged.
    Finish(Utf8ToUtf16(defaultValue), false, value, bufferChars);
    if (how) *how = LangLookup::Damaged;
    return false;
  }
  return ReadFromSource(source.p, section, key, defaultValue, value, bufferChars, how);
}

bool ReadLangValueFromBytes(const std::string& section, const std::string& key,
                            const std::string& defaultValue, std::string* value,
                            size_t bufferChars, const void* fileBytes, size_t fileSize,
                            LangLookup* how) {
  auto gsf = UseGsf();
  Ref<GsfInput> source(
      fileSize == 0 ? nullptr
                    : gsf_input_memory_new(static_cast<const guint8*>(fileBytes),
                                           static_cast<gsf_off_t>(fileSize), FALSE));
  return ReadFromSource(source.p, section, key, defaultValue, value, bufferChars, how);
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      cp = c & 0x1F;
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      cp = c & 0x0F;
      len = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j < len && i + j < n; ++j) {
      unsigned char cc = static_cast<unsigned char>(text[i + j]);
      if ((cc & 0xC0) != 0x80) break;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Short, overlong, surrogate and out-of-range sequences are all malformed.
    static const uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (j < len || cp < kMinimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacement);
      i += j;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace app
