// The engine's polling intervals, in one place so tests may run them faster.
#pragma once

#include <chrono>

namespace engine {

struct EngineTiming {
  std::chrono::milliseconds analysisPoll{100};   // waiting for an item's analysis
  std::chrono::milliseconds progressPoll{1000};  // reading the progress file
  // A cache file's interim progress steps come after random pauses below
  // these bounds: shorter for KUX, whose remux is quick.
  std::chrono::milliseconds kuxStepPause{3000};
  std::chrono::milliseconds cacheStepPause{5000};  // QLV and QSV
  // Off: every step pause takes its whole bound, so a test knows whether a
  // step can come before the chain ends.
  bool randomStepPauses = true;
};

EngineTiming& Timing();

}  // namespace engine
