#!/usr/bin/env bash
# Two metrova-cli commands started at the same moment on one catalogue, many times over, and what
# came of each try. An outcome is sound when running the two one after the other, in one order or
# the other, gives the same catalogue; a command that waited too long for the other may fail with
# a message, and then the catalogue must be what the other alone gives.
#
#   bench/races.sh import TRIES [CONFIGURATIONS]   two imports into a catalogue not there yet
#   bench/races.sh import-bad TRIES                a valid and a bad import into a catalogue not
#                                                  there yet: the bad one fails; the valid one
#                                                  succeeds, or says to try again and leaves no file
#   bench/races.sh set TRIES                       two set of different standards on one machine
#   bench/races.sh set-delete TRIES                set and delete of the same machine
#   bench/races.sh verify-set TRIES                verify add and a set of the limit it judges:
#                                                  the state add reports is the one show reads
#
# METROVA_CLI and BENCH_EXCHANGE name the programs (default: build/src/metrova-cli and
# build/bench/bench_exchange beside this script).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${METROVA_CLI:-$root/build/src/metrova-cli}"
generator="${BENCH_EXCHANGE:-$root/build/bench/bench_exchange}"
race="${1:-}"
tries="${2:-20}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# The catalogue as a reader sees it: the machine's rows, or the makes, with the reader's status.
state() {
  if [ "$race" = import-bad ] && [ ! -e r.db ]; then
    echo "no file"
  elif [ "$race" = import ] || [ "$race" = import-bad ]; then
    "$cli" list r.db 2>/dev/null | wc -l
  else
    "$cli" show r.db "Example Metrology" "Bridge 1000" "Long Range" --csv 2>/dev/null
    echo "status $?"
  fi
}

case "$race" in
import)
  "$generator" --generate "${3:-80000}" big.csv >/dev/null || exit 1
  first=("$cli" import r.db big.csv)
  second=("$cli" import r.db big.csv)
  "${first[@]}" 2>/dev/null
  expected_one="$(state)"
  expected_other="$expected_one"
  first_alone="$expected_one"
  second_alone="$expected_one"
  ;;
import-bad)
  printf 'not an exchange file\n' >bad.csv
  first=("$cli" import r.db "$root/examples/catalogue.csv")
  second=("$cli" import r.db bad.csv)
  "${first[@]}" 2>/dev/null
  first_alone="$(state)"
  expected_one="$first_alone"
  expected_other="$first_alone"
  rm -f r.db
  second_alone="$(state)"
  ;;
verify-set)
  "$cli" import base.db "$root/examples/catalogue.csv" 2>/dev/null || exit 1
  printf 'length_mm,position,error_um\n500,P1,2.0\n500,P1,2.2\n' >results.csv
  machine=(r.db "Example Metrology" "Bridge 1000" "Long Range")
  same=0
  differing=0
  for ((try = 1; try <= tries; ++try)); do
    cp base.db r.db
    "$cli" verify add "${machine[@]}" results.csv --date 2026-11-30 --kind interim >/dev/null 2>&1 &
    one=$!
    "$cli" set "${machine[@]}" 10360 E0=1+1L/1000 2>/dev/null &
    other=$!
    wait $one
    added=$?
    wait $other
    "$cli" verify show "${machine[@]}" 1 >/dev/null 2>&1
    if [ $? -eq $added ]; then same=$((same + 1)); else differing=$((differing + 1)); fi
  done
  echo "verify-set: $tries tries: $same with the state shown as added, $differing differing"
  exit 0
  ;;
set | set-delete)
  "$cli" import base.db "$root/examples/catalogue.csv" 2>/dev/null || exit 1
  first=("$cli" set r.db "Example Metrology" "Bridge 1000" "Long Range" 10360 E0=1.8+3L/1000)
  if [ "$race" = set ]; then
    second=("$cli" set r.db "Example Metrology" "Bridge 1000" "Long Range" CMMA M=2+4L/1000)
  else
    second=("$cli" delete r.db "Example Metrology" "Bridge 1000" "Long Range")
  fi
  cp base.db r.db && "${first[@]}" && "${second[@]}" && expected_one="$(state)"
  cp base.db r.db && "${second[@]}" && "${first[@]}" && expected_other="$(state)"
  cp base.db r.db && "${first[@]}" && first_alone="$(state)"
  cp base.db r.db && "${second[@]}" && second_alone="$(state)"
  ;;
*)
  sed -n '2,18p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit 2
  ;;
esac

sound=0
refused=0
unsound=0
for ((try = 1; try <= tries; ++try)); do
  rm -f r.db r.db-journal
  [ "$race" = import ] || [ "$race" = import-bad ] || cp base.db r.db
  "${first[@]}" 2>first.err &
  one=$!
  "${second[@]}" 2>second.err &
  other=$!
  wait $one
  first_status=$?
  wait $other
  second_status=$?
  now="$(state)"
  if [ $first_status -eq 0 ] && [ $second_status -eq 0 ] &&
    { [ "$now" = "$expected_one" ] || [ "$now" = "$expected_other" ]; }; then
    sound=$((sound + 1))
  elif [ $first_status -eq 0 ] && [ $second_status -ne 0 ] && [ "$now" = "$first_alone" ]; then
    refused=$((refused + 1))
  elif [ $first_status -ne 0 ] && [ $second_status -eq 0 ] && [ "$now" = "$second_alone" ]; then
    refused=$((refused + 1))
  elif [ "$race" = import-bad ] && [ $first_status -ne 0 ] && [ "$now" = "$second_alone" ] &&
    grep -q "try again" first.err; then
    refused=$((refused + 1))
  else
    unsound=$((unsound + 1))
    echo "try $try: statuses $first_status $second_status, unsound result:" >&2
    cat first.err second.err >&2
  fi
done
echo "$race: $tries tries: $sound sound with both done, $refused sound with one refused, $unsound unsound"
