// File sizes as the desktop shows them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// "N bytes" below 1024, else KB/MB/GB/TB/PB/EB with three significant digits,
// truncated, never four digits before the point: "1.50 KB", "12.3 MB", "999 KB".
std::string StrFormatByteSize(int64_t bytes);

}  // namespace platform
