// INI profile files with the rules of the Windows profile functions:
// sections and keys compared without case, text reads limited by a
// 260-character buffer (259 characters), integers read from their leading
// digits, every other line kept when one key is written. A write replaces the
// file through a rename, so a crash never leaves half a file.
#pragma once

#include <optional>
#include <string>

namespace platform {

constexpr size_t kProfileBufferChars = 260;

// The value of section/key, or def when the file, section or key is missing.
// At most bufferChars - 1 characters are returned.
std::string ProfileGetString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& def,
                             size_t bufferChars = kProfileBufferChars);

// The leading integer of the value ("12abc" 12, "abc" 0); def when the key is
// missing or empty.
int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key,
                  int def);

// Writes key=value into the section, creating the file and section when
// missing. newFileMode applies only to a file that does not exist yet.
bool ProfileWriteString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value,
                        unsigned newFileMode = 0644);
bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key,
                     int value, unsigned newFileMode = 0644);
bool ProfileDeleteKey(const std::string& file, const std::string& section,
                      const std::string& key);

}  // namespace platform
