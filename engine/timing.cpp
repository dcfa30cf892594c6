#include "engine/timing.h"

namespace engine {

EngineTiming& Timing() {
  static EngineTiming timing;
  return timing;
}

}  // namespace engine
