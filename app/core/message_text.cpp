#include "app/core/message_text.h"

namespace app {
namespace {

enum class Kind { Plain, Percent, Text, Number };

struct Spec {
  Kind kind = Kind::Plain;
  size_t length = 1;  // characters of the format it takes, the '%' included
  bool zeroPad = false;
  int width = 0;
  bool hex = false;
  bool upper = false;
};

// Reads what follows a '%' at p[0]. A '%' that starts nothing known is Plain.
Spec ReadSpec(const char* p) {
  Spec s;
  if (p[1] == '%') {
    s.kind = Kind::Percent;
    s.length = 2;
    return s;
  }
  if (p[1] == 's') {
    s.kind = Kind::Text;
    s.length = 2;
    return s;
  }
  size_t i = 1;
  if (p[i] == '0') {
    s.zeroPad = true;
    ++i;
  }
  for (int digits = 0; p[i] >= '0' && p[i] <= '9'; ++i, ++digits) {
    if (digits == 2) return s;
    s.width = s.width * 10 + (p[i] - '0');
  }
  for (int l = 0; p[i] == 'l'; ++i, ++l)
    if (l == 2) return s;
  switch (p[i]) {
    case 'd':
    case 'i':
    case 'u':
      break;
    case 'X':
      s.upper = true;
      s.hex = true;
      break;
    case 'x':
      s.hex = true;
      break;
    default:
      return s;
  }
  s.kind = Kind::Number;
  s.length = i + 1;
  return s;
}

// Appends to a fixed buffer; drops what does not fit.
struct Sink {
  char* out;
  size_t cap;  // bytes available before the NUL
  size_t len = 0;
  bool full = false;
  void Put(const char* text, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (len == cap) {
        full = true;
        return;
      }
      out[len++] = text[i];
    }
  }
};

void PutNumber(Sink* sink, uint64_t value, const Spec& spec) {
  char digits[24];
  size_t n = 0;
  const char* alphabet = spec.upper ? "0123456789ABCDEF" : "0123456789abcdef";
  const unsigned base = spec.hex ? 16 : 10;
  do {
    digits[n++] = alphabet[value % base];
    value /= base;
  } while (value != 0);
  const char pad = spec.zeroPad ? '0' : ' ';
  for (size_t i = n; i < static_cast<size_t>(spec.width); ++i) sink->Put(&pad, 1);
  while (n > 0) sink->Put(&digits[--n], 1);
}

}  // namespace

std::string FillTextPlaceholder(const std::string& format, const std::string& text) {
  std::string out;
  bool filled = false;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out.push_back(format[i++]);
      continue;
    }
    Spec s = ReadSpec(format.c_str() + i);
    if (s.kind == Kind::Percent) {
      out.push_back('%');
    } else if (s.kind == Kind::Text && !filled) {
      out += text;
      filled = true;
    } else {
      out.append(format, i, s.length);
    }
    i += s.length;
  }
  return out;
}

size_t FillNumberPlaceholdersInto(char* out, size_t outSize, const char* format, uint64_t a,
                                  uint64_t b) {
  if (outSize == 0) return 0;
  Sink sink{out, outSize - 1};
  int used = 0;
  for (const char* p = format; *p && !sink.full;) {
    if (*p != '%') {
      sink.Put(p++, 1);
      continue;
    }
    Spec s = ReadSpec(p);
    if (s.kind == Kind::Percent) {
      sink.Put("%", 1);
    } else if (s.kind == Kind::Number && used < 2) {
      PutNumber(&sink, used == 0 ? a : b, s);
      ++used;
    } else {
      sink.Put(p, s.length);
    }
    p += s.length;
  }
  if (sink.full) {
    // Step back to the start of a cut UTF-8 sequence.
    size_t end = sink.len;
    size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(out[start - 1]) & 0xC0) == 0x80) --start;
    if (start > 0) {
      unsigned char lead = static_cast<unsigned char>(out[start - 1]);
      size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (need > 1 && end - (start - 1) < need) sink.len = start - 1;
    }
  }
  out[sink.len] = '\0';
  return sink.len;
}

std::string FillNumberPlaceholders(const std::string& format, uint64_t a, uint64_t b) {
  // A filled placeholder is at most 99 characters (its width) or 20 digits.
  std::string out(format.size() + 2 * 99 + 1, '\0');
  out.resize(FillNumberPlaceholdersInto(&out[0], out.size(), format.c_str(), a, b));
  return out;
}

std::vector<std::string> MessagePlaceholders(const std::string& format) {
  std::vector<std::string> found;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      ++i;
      continue;
    }
    Spec s = ReadSpec(format.c_str() + i);
    if (s.kind == Kind::Text || s.kind == Kind::Number) found.push_back(format.substr(i, s.length));
    i += s.length;
  }
  return found;
}

}  // namespace app
