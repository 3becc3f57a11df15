#!/usr/bin/env bash
# Configures and builds into build/ (programs land in build/bin/).
# Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DCURANOTE_WERROR=ON)
cmake -S . -B build -G Ninja "${extra[@]}" "$@" >/dev/null
cmake --build build -j "$(nproc)"
