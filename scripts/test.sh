#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the normal build first, then the thread-checked build of the engine tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DPELMAR_WERROR=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

# The engine and the shell again under ThreadSanitizer (the windows and the
# player stand on libraries that are not instrumented).
cmake -S . -B build-tsan -G Ninja -DPELMAR_WERROR=ON -DPELMAR_SANITIZE=thread
cmake --build build-tsan -j "$jobs" --target \
  platform_tests app_core_tests lang_tests lang_file_replay media_tests engine_tests cli_tests
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j "$jobs" -L 'core|engine')
