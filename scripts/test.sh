#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# With --sanitize the build goes to build-asan/ with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/deps.sh
dir=build
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  extra=(-DCURANOTE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
else
  extra=()
fi
[ "${CI:-}" = "true" ] && extra+=(-DCURANOTE_WERROR=ON)
cmake -S . -B "$dir" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600
