#!/usr/bin/env bash
# Runs the libFuzzer targets, built with clang into build-asan/ (scripts/sanitize-build.sh, the
# build the sanitized tests use).
#   scripts/fuzz.sh expression 60      the expression parser, for 60 seconds
#   scripts/fuzz.sh exchange 1800      the exchange file reader, for half an hour
#   scripts/fuzz.sh qif 1800           the QIF document reader, for half an hour
#   scripts/fuzz.sh all 30             the three at once, for 30 seconds each
# Each starts from the seeds in fuzz/corpus/TARGET and keeps what it learns in
# build-asan/corpus/TARGET. A finding is saved in build-asan/findings/ and fails the script;
# replay it with build-asan/fuzz/fuzz_TARGET FILE.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="${1:-}"
seconds="${2:-}"
usage() {
  echo "usage: scripts/fuzz.sh expression|exchange|qif|all SECONDS" >&2
  exit 2
}
case "$target" in
  expression | exchange | qif) targets=("$target") ;;
  all) targets=(expression exchange qif) ;;
  *) usage ;;
esac
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  usage
fi

build_dir="$root/build-asan"
build_targets=()
for name in "${targets[@]}"; do
  build_targets+=(--target "fuzz_$name")
done
"$root/scripts/sanitize-build.sh" "${build_targets[@]}"

findings="$build_dir/findings"
mkdir -p "$findings"
# Without the heap fill and with a small quarantine the exchange target runs about 2.5 times as
# fast; out-of-bounds accesses and recent use-after-free are still caught.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:max_malloc_fill_size=0:quarantine_size_mb=16"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/.ci/lsan.supp:print_suppressions=0"

fuzz() {
  local name="$1" max_len
  case "$name" in
    expression) max_len=256 ;;
    # The readers' limits and costs show in large inputs: 1 MB, as fuzz/fuzzsupport.h takes.
    *) max_len=1048576 ;;
  esac
  mkdir -p "$build_dir/corpus/$name"
  "$build_dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 -max_len="$max_len" \
    -dict="$root/fuzz/$name.dict" -artifact_prefix="$findings/$name-" -print_final_stats=1 \
    "$build_dir/corpus/$name" "$root/fuzz/corpus/$name"
}

if [ "${#targets[@]}" -eq 1 ]; then
  fuzz "${targets[0]}"
  exit 0
fi
# Several at once, each into its own log, shown when all have ended; any failure fails the script.
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
pids=()
for name in "${targets[@]}"; do
  fuzz "$name" >"$logs/$name" 2>&1 &
  pids+=($!)
done
failed=0
for index in "${!targets[@]}"; do
  status=0
  wait "${pids[$index]}" || status=$?
  echo "=== fuzz_${targets[$index]}: exit status $status"
  if [ "$status" -ne 0 ]; then
    cat "$logs/${targets[$index]}"
    failed=1
  else
    grep -E '^(stat::|Done )' "$logs/${targets[$index]}" || true
  fi
done
exit "$failed"
