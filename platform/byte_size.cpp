#include "platform/byte_size.h"

#include <cstdio>

namespace platform {

std::string StrFormatByteSize(int64_t bytes) {
  char buf[64];
  if (bytes < 1024) {
    snprintf(buf, sizeof buf, "%lld bytes", static_cast<long long>(bytes));
    return buf;
  }
  static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  // Work in hundredths of a unit with integers, so truncation is exact.
  unsigned long long value = static_cast<unsigned long long>(bytes);
  int unit = 0;
  unsigned long long divisor = 1024;
  while (unit < 5 && value / divisor >= 1000) {
    divisor *= 1024;
    ++unit;
  }
  unsigned long long whole = value / divisor;
  unsigned long long rest = value % divisor;
  if (whole >= 100) {
    snprintf(buf, sizeof buf, "%llu %s", whole, units[unit]);
  } else if (whole >= 10) {
    unsigned long long tenth = static_cast<unsigned long long>(
        static_cast<long double>(rest) * 10 / static_cast<long double>(divisor));
    snprintf(buf, sizeof buf, "%llu.%llu %s", whole, tenth, units[unit]);
  } else {
    unsigned long long hundredths = static_cast<unsigned long long>(
        static_cast<long double>(rest) * 100 / static_cast<long double>(divisor));
    snprintf(buf, sizeof buf, "%llu.%02llu %s", whole, hundredths, units[unit]);
  }
  return buf;
}

}  // namespace platform
