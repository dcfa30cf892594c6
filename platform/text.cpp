#include "platform/text.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace platform {
namespace {
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

std::string TruncateUtf8Bytes(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && IsContinuation(static_cast<unsigned char>(text[end]))) --end;
  return text.substr(0, end);
}

std::string TruncateUtf8Chars(const std::string& text, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (chars == maxChars) return text.substr(0, i);
    ++chars;
  }
  return text;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if (!IsContinuation(c)) ++n;
  return n;
}

std::string ToLowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::vector<char> buf(static_cast<size_t>(n) + 1);
  vsnprintf(buf.data(), buf.size(), format, args);
  return std::string(buf.data(), static_cast<size_t>(n));
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

long long LeadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0xFFFFFFFFLL) value = 0xFFFFFFFFLL;  // saturate: no overflow on garbage
  }
  return negative ? -value : value;
}

std::vector<std::string> SplitLines(const std::string& text, const char* separators) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(separators, pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

}  // namespace platform
