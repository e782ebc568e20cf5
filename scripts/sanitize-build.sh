#!/usr/bin/env bash
# Configures and builds build-asan/: clang with AddressSanitizer and UndefinedBehaviorSanitizer,
# everything also instrumented for libFuzzer's coverage, so that the sanitized test suite
# (scripts/test.sh --sanitize) and the fuzz targets (scripts/fuzz.sh) share one build instead of
# compiling the sources twice.
#   scripts/sanitize-build.sh                      everything: libraries, programs, tests, fuzzers
#   scripts/sanitize-build.sh --target fuzz_qif    what cmake --build is given
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build-asan"
"$root/scripts/setup.sh"
"$root/scripts/setup.sh" --fuzz
# -O1 keeps the stack traces readable and runs the suite and the fuzzers about twice as fast as
# -O0. The benchmarks are not run here. A unity build, as scripts/test.sh makes, halves the
# processor time of the compilation.
cmake -S "$root" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DMETROVA_SANITIZE=ON \
  -DMETROVA_FUZZ=ON -DMETROVA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DCMAKE_UNITY_BUILD=ON \
  >/dev/null
cmake --build "$build_dir" -j"$(nproc)" "$@"
