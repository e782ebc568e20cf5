#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Metrova and runs the whole test suite, on both
# engines: SQLite files and a private PostgreSQL server (ctest -L sqlite / -L postgresql).
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#                                (clang; the fuzz targets are built there too, scripts/fuzz.sh)
#   scripts/test.sh --tsan       ThreadSanitizer build of the worker thread's tests in build-tsan/
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build"
# One build of everything from scratch: a unity build (batches of sources compiled as one)
# takes about half the processor time of a file-by-file one.
cmake_args=(-DCMAKE_UNITY_BUILD=ON)
targets=()
ctest_args=()
if [ "${1:-}" = "--sanitize" ]; then
  "$root/scripts/sanitize-build.sh"
  cd "$root/build-asan"
  exec ctest --output-on-failure -j"$(nproc)"
elif [ "${1:-}" = "--tsan" ]; then
  # Only the tests that run two threads on the catalogue: the worker thread's.
  build_dir="$root/build-tsan"
  cmake_args+=(-DMETROVA_TSAN=ON -DMETROVA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  targets+=(--target tst_importexportthread)
  ctest_args+=(-R '^tst_importexportthread$')
fi

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)" "${ctest_args[@]}"
