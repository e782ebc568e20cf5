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
#   bench/races.sh server [COUNT]                  on a private PostgreSQL server
#                                                  (tests/postgresql-server.sh), COUNT commands
#                                                  (20) at once on one catalogue each: set of
#                                                  different standards on one machine, set and
#                                                  delete of one machine, verify add on one
#                                                  machine, imports
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
server)
  count="${2:-20}"
  "$root/tests/postgresql-server.sh" start "$work/server" || exit 1
  trap '"$root/tests/postgresql-server.sh" stop "$work/server"; rm -rf "$work"' EXIT
  folder="$(cat "$work/server")"
  host="$(printf '%s' "$folder" | sed 's|/|%2F|g')"
  machine=("Example Metrology" "Bridge 1000" "Long Range")
  # A new database with the sample imported, for one race.
  catalogue() {
    psql -q -h "$folder" -U metrova_admin -d postgres -c "CREATE DATABASE $1" || exit 1
    uri="postgresql://metrova_admin@$host/$1"
    [ "${2:-}" = empty ] || "$cli" import "$uri" "$root/examples/catalogue.csv" 2>/dev/null || exit 1
  }
  # Runs the commands of the array lines at once; ok and failed count their statuses.
  all_at_once() {
    local pids=() index
    for ((index = 0; index < ${#lines[@]}; ++index)); do
      eval "${lines[$index]}" >"out.$index" 2>"err.$index" &
      pids+=($!)
    done
    ok=0
    failed=0
    for index in "${!pids[@]}"; do
      if wait "${pids[$index]}"; then ok=$((ok + 1)); else failed=$((failed + 1)); fi
    done
  }

  # Each set replaces one standard's rows; the machine ends with each standard's rows as one of
  # its successful sets left them.
  catalogue race_set
  standards=(10360 CMMA B89.4.1 VDIVDE_2617)
  components=(E0 M Repeat U3)
  lengths=(+3L/1000 +4L/1000 "" +2L/1000)
  lines=()
  for ((index = 0; index < count; ++index)); do
    item="${standards[$((index % 4))]} ${components[$((index % 4))]}=$((index + 10))${lengths[$((index % 4))]}"
    lines+=("\"\$cli\" set \"\$uri\" \"\${machine[@]}\" $item")
  done
  all_at_once
  shown="$("$cli" show "$uri" "${machine[@]}" --csv 2>&1)"
  lost=0
  for ((index = 0; index < 4; ++index)); do
    found=0
    for ((try = index; try < count; try += 4)); do
      if [ -z "$(cat "err.$try")" ] &&
        grep -q "^${standards[$index]},${components[$index]},$((try + 10))\.0[+,]" <<<"$shown"; then
        found=1
      fi
    done
    [ $found -eq 1 ] || lost=$((lost + 1))
  done
  echo "server set: $count at once: $ok done, $failed refused; standards without a done set's value: $lost"

  # Set racing delete: the machine ends as set then delete leave it (gone) or as delete then set.
  catalogue race_order
  "$cli" delete "$uri" "${machine[@]}" && "$cli" set "$uri" "${machine[@]}" 10360 E0=1.8+3L/1000
  expected="$("$cli" show "$uri" "${machine[@]}" --csv 2>/dev/null)"
  catalogue race_delete
  lines=("\"\$cli\" set \"\$uri\" \"\${machine[@]}\" 10360 E0=1.8+3L/1000"
    "\"\$cli\" delete \"\$uri\" \"\${machine[@]}\"")
  sound=0
  for ((try = 1; try <= count; ++try)); do
    psql -q -h "$folder" -U metrova_admin -d postgres -c "DROP DATABASE race_delete" || exit 1
    catalogue race_delete
    all_at_once
    now="$("$cli" show "$uri" "${machine[@]}" --csv 2>/dev/null)"
    if [ $failed -eq 0 ] && { [ -z "$now" ] || [ "$now" = "$expected" ]; }; then
      sound=$((sound + 1))
    fi
  done
  echo "server set-delete: $count tries: $sound sound, $((count - sound)) unsound"

  # Each verify add gets its own number: none lost, none twice.
  catalogue race_verify
  printf 'length_mm,position,error_um\n500,P1,2.0\n500,P1,2.2\n' >results.csv
  lines=()
  for ((index = 0; index < count; ++index)); do
    lines+=("\"\$cli\" verify add \"\$uri\" \"\${machine[@]}\" results.csv --date 2026-11-30 --kind interim --again")
  done
  all_at_once
  numbers="$(cat out.* | sed -n 's/^record \([0-9]*\):.*/\1/p' | sort -n)"
  unique="$(uniq <<<"$numbers" | grep -c .)"
  stored="$("$cli" verify list "$uri" "${machine[@]}" --csv 2>/dev/null | tail -n +2 | grep -c .)"
  echo "server verify add: $count at once: $ok done, $failed refused; $unique distinct numbers, $stored records stored"

  # Imports of one file into one catalogue: every import done leaves the same catalogue.
  catalogue race_import empty
  lines=()
  for ((index = 0; index < count; ++index)); do
    lines+=("\"\$cli\" import \"\$uri\" \"$root/examples/catalogue.csv\"")
  done
  all_at_once
  catalogue race_import_alone
  alone="$("$cli" export "$uri" alone.csv 2>/dev/null && cat alone.csv)"
  uri="postgresql://metrova_admin@$host/race_import"
  now="$("$cli" export "$uri" now.csv 2>/dev/null && cat now.csv)"
  [ "$now" = "$alone" ] && same=yes || same=no
  echo "server import: $count at once: $ok done, $failed refused; the catalogue as one import leaves it: $same"
  exit 0
  ;;
*)
  sed -n '2,24p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
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
