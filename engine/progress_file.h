// The transcoder's -progress output: key=value blocks, the last one closed by
// "progress=end".
#pragma once

#include <string>

namespace engine {

struct ProgressReading {
  long long best = 0;  // largest output time seen, hundredths of a second
  bool ended = false;  // the final block is there
};

ProgressReading ReadProgressFile(const std::string& path);
ProgressReading ParseProgress(const std::string& text);

// Percentage of the kept length: 100 only with the final block; otherwise at
// most 99 (a run that overshoots never wraps back to small numbers).
int ProgressPercent(const ProgressReading& r, int keptSeconds);

// The value shown while a job after a preparation stage worth `base` percent runs.
int ShownPercent(int base, int percent);

}  // namespace engine
