#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"

if [[ -x build/bin/pelmar-video-converter ]]; then
  exec build/bin/pelmar-video-converter "$@"
elif [[ -x build/bin/pelmar-convert ]]; then
  exec build/bin/pelmar-convert "$@"
else
  echo "Built the foundation libraries; the converter programs are not there yet."
fi
