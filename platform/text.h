// Text helpers: the program keeps UTF-8 everywhere.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace platform {

// Cuts text to at most maxBytes bytes without splitting a UTF-8 sequence.
std::string TruncateUtf8Bytes(const std::string& text, size_t maxBytes);
// Cuts text to at most maxChars characters (code points).
std::string TruncateUtf8Chars(const std::string& text, size_t maxChars);
size_t Utf8Length(const std::string& text);

std::string ToLowerAscii(std::string text);
bool EqualsNoCase(const std::string& a, const std::string& b);
std::string Trim(const std::string& text);
// The pieces of text between any of the separator characters; a separator at
// the very end starts no empty last piece.
std::vector<std::string> SplitLines(const std::string& text, const char* separators = "\n");

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%d" of the text's leading digits, as the INI integer reader takes them:
// optional blanks and sign, then digits; "12abc" is 12, "abc" is 0.
long long LeadingInteger(const std::string& text);

}  // namespace platform
