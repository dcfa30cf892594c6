#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal
# build first, then the engine tests in a thread-checked build, then the
# engine, the player core and the file readers in a memory-checked build.
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
  platform_tests app_core_tests lang_tests lang_file_replay media_tests engine_tests cli_tests \
  engine_reason_tests cli_signal_tests plugin_tests
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j "$jobs" -L 'core|engine')

# The engine, the shell, the player core and the file readers again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Any finding ends the test
# that met it (the playback tests stand on SDL, whose D-Bus connection
# LeakSanitizer reports as a leak, and the Qt controls on Qt: they stay in the
# normal build).
cmake -S . -B build-asan -G Ninja -DPELMAR_WERROR=ON -DPELMAR_SANITIZE=address,undefined
cmake --build build-asan -j "$jobs" --target \
  platform_tests app_core_tests lang_tests lang_file_replay media_tests engine_tests cli_tests \
  engine_reason_tests cli_signal_tests plugin_tests player_tests clip_rules_tests
(cd build-asan && \
  ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --output-on-failure -j "$jobs" -L 'core|engine|player' \
    -E '^(player_playback_tests|preview_open_tests|clip_widgets_on_screen|clip_editor_on_screen.*)$')
