#include "platform/clock.h"

#include <sys/time.h>
#include <time.h>

namespace platform {

int64_t MicrosecondsSinceEpoch() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

LocalTime LocalNow() {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace platform
