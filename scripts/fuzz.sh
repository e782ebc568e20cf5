#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs one of them.
#   scripts/fuzz.sh expression 60      the expression parser, for 60 seconds
#   scripts/fuzz.sh exchange 1800      the exchange file reader, for half an hour
#   scripts/fuzz.sh qif 1800           the QIF document reader, for half an hour
# It starts from the seeds in fuzz/corpus/TARGET and keeps what it learns in
# build-fuzz/corpus/TARGET. A finding is saved in build-fuzz/findings/ and fails the script;
# replay it with build-fuzz/fuzz/fuzz_TARGET FILE.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="${1:-}"
seconds="${2:-}"
case "$target" in
  expression) max_len=256 ;;
  # The readers' limits and costs show in large inputs: 1 MB, as fuzz/fuzzsupport.h takes.
  exchange) max_len=1048576 ;;
  qif) max_len=1048576 ;;
  *)
    echo "usage: scripts/fuzz.sh expression|exchange|qif SECONDS" >&2
    exit 2
    ;;
esac
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh expression|exchange|qif SECONDS" >&2
  exit 2
fi

build_dir="$root/build-fuzz"
"$root/scripts/setup.sh" --fuzz
cmake -S "$root" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DMETROVA_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target "fuzz_$target" -j"$(nproc)"

corpus="$build_dir/corpus/$target"
findings="$build_dir/findings"
mkdir -p "$corpus" "$findings"
# Without the heap fill and with a small quarantine the exchange target runs about 2.5 times as
# fast; out-of-bounds accesses and recent use-after-free are still caught.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:max_malloc_fill_size=0:quarantine_size_mb=16"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/.ci/lsan.supp:print_suppressions=0"
"$build_dir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -max_len="$max_len" \
  -dict="$root/fuzz/$target.dict" -artifact_prefix="$findings/$target-" -print_final_stats=1 \
  "$corpus" "$root/fuzz/corpus/$target"
