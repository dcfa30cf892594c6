// Filling in the placeholders of localized message texts. A text from a
// language file is data: it is never handed to a printf-style function, so a
// stray "%n" or an extra "%s" in a translation shows as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// Puts `text` in place of the first "%s"; "%%" gives "%"; every other "%"
// sequence stays as it is.
std::string FillTextPlaceholder(const std::string& format, const std::string& text);

// Puts a and b in place of the first two number placeholders: "%d", "%i",
// "%u", "%x" or "%X", with an optional "0" flag, a width of up to two digits
// and "l" or "ll". "%%" gives "%"; every other "%" sequence stays as it is.
std::string FillNumberPlaceholders(const std::string& format, uint64_t a, uint64_t b);
// The same into a caller's buffer: at most outSize - 1 bytes (never half a
// UTF-8 sequence) and a NUL. Allocates nothing and takes no lock, so a signal
// handler may call it. Returns the length written.
size_t FillNumberPlaceholdersInto(char* out, size_t outSize, const char* format, uint64_t a,
                                  uint64_t b);

// The placeholders of a text in order, as written ("%s", "%08X"); "%%" is none.
std::vector<std::string> MessagePlaceholders(const std::string& format);

}  // namespace app
