#include "engine/progress_file.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/text.h"

namespace engine {

ProgressReading ParseProgress(const std::string& text) {
  ProgressReading r;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() < 12) continue;
    if (line.compare(0, 12, "out_time_ms=") == 0) {
      // Microseconds without their last two digits, then by 100: hundredths.
      std::string digits = line.size() <= 13 ? line.substr(12) : line.substr(12, line.size() - 14);
      long long value = platform::LeadingInteger(digits) / 100;
      r.best = std::max(r.best, value);
    } else if (line.compare(0, 12, "progress=end") == 0) {
      r.ended = true;
    }
  }
  return r;
}

ProgressReading ReadProgressFile(const std::string& path) {
  std::string text;
  platform::ReadFile(path, &text, 64 * 1024 * 1024);
  return ParseProgress(text);
}

int ProgressPercent(const ProgressReading& r, int keptSeconds) {
  if (r.ended) return 100;
  if (keptSeconds <= 0) return 0;
  return static_cast<int>(std::min<long long>(r.best / keptSeconds, 99));
}

int ShownPercent(int base, int percent) {
  float t = (100.0f - static_cast<float>(base)) / 100.0f * static_cast<float>(percent);
  return std::min(base + static_cast<int>(t), 99);
}

}  // namespace engine
