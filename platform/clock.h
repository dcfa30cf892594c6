// Time.
#pragma once

#include <cstdint>

namespace platform {

// Microseconds since 1970-01-01 UTC; the program's unique-name stamp.
int64_t MicrosecondsSinceEpoch();

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime LocalNow();

}  // namespace platform
