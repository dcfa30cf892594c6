// The engine's polling intervals, in one place so tests may run them faster.
#pragma once

#include <chrono>

namespace engine {

struct EngineTiming {
  std::chrono::milliseconds analysisPoll{100};   // waiting for an item's analysis
  std::chrono::milliseconds progressPoll{1000};  // reading the progress file
};

EngineTiming& Timing();

}  // namespace engine
