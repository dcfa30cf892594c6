// Language files: an OLE2 compound file with one stream per section ("Text",
// "Message"). A stream holds UTF-16LE entries "key=value", each ending with a
// NUL unit, the list ending with an empty entry; it is stored scrambled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// XORed into each 32-bit little-endian word of a stream but the last full or
// partial one; the upper half is zero, so only every other UTF-16 unit changes.
constexpr uint32_t kLangScrambleMask = 0x00005AC3;
// A section stream must be shorter than this; the reader never looks further.
constexpr size_t kLangStreamLimit = 131072;

// Scrambles a stream as stored, or unscrambles a stored one (the same
// operation both ways). Streams of 4 bytes or less stay as they are.
void ScrambleLangStream(std::string* bytes);

struct LangEntry {
  std::string key;    // UTF-8, not empty, without '='
  std::string value;  // UTF-8
};

struct LangSection {
  std::string name;
  std::vector<LangEntry> entries;
};

// The plain (unscrambled) stream of the entries, with its terminating empty entry.
std::string EncodeLangStream(const std::vector<LangEntry>& entries);

// One stream of a compound file, bytes as stored.
struct LangStream {
  std::string name;
  std::string bytes;
};

// A compound file holding the streams as given. False, with a message, when
// libgsf cannot make it.
bool BuildCompoundFile(const std::vector<LangStream>& streams, std::string* file,
                       std::string* error);

// A language file: each section encoded and scrambled. Refuses keys that are
// empty or hold '=' or NUL, values that hold NUL, and streams of
// kLangStreamLimit bytes or more.
bool BuildLangFile(const std::vector<LangSection>& sections, std::string* file,
                   std::string* error);
// Builds the file and replaces `path` with it in one rename.
bool WriteLangFile(const std::string& path, const std::vector<LangSection>& sections,
                   std::string* error);

// How a lookup ended. A file that exists but cannot be read as a language
// file, or holds neither of the sections "Text" and "Message", is damaged.
enum class LangLookup { Found, NoKey, NoSection, NoFile, Damaged };

// The value of `key` (exact, case-sensitive) in `section` of the language file
// at `path`. When the file, the section or the key is missing, or the file is
// damaged, gives `defaultValue` and returns false. Either text is cut to
// bufferChars - 1 UTF-16 units (never between the halves of a pair), as a
// caller's buffer of bufferChars characters would hold it. The file is read
// anew on each call.
bool ReadLangValue(const std::string& section, const std::string& key,
                   const std::string& defaultValue, std::string* value, size_t bufferChars,
                   const std::string& path, LangLookup* how = nullptr);
// The same over the bytes of a compound file held in memory.
bool ReadLangValueFromBytes(const std::string& section, const std::string& key,
                            const std::string& defaultValue, std::string* value,
                            size_t bufferChars, const void* fileBytes, size_t fileSize,
                            LangLookup* how = nullptr);

// UTF-8 <-> UTF-16 as the language files need them; malformed sequences and
// lone surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace app
