#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Metrova and runs the whole test suite.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build"
cmake_args=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir="$root/build-asan"
  cmake_args+=(-DMETROVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j"$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
