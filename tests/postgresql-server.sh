#!/usr/bin/env bash
# A PostgreSQL server private to one test run: a cluster made by initdb in a new temporary folder,
# listening on a Unix socket in that folder only (no TCP), without durability (nothing in it has
# to outlive the run), stopped and removed at the end.
#
#   tests/postgresql-server.sh start STATE   starts one; STATE gets the socket folder
#   tests/postgresql-server.sh stop STATE    stops it and removes its folder
#
# The superuser is metrova_admin, trusted on the socket: the tests make databases and roles with
# it, as an administrator would. initdb refuses root, so as root the server runs as nobody.
set -euo pipefail

action="${1:-}"
state="${2:-}"
if [ -z "$action" ] || [ -z "$state" ]; then
  echo "usage: $0 start|stop STATE" >&2
  exit 2
fi

# Debian keeps the server's programs out of PATH, one folder per major version: the newest.
bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  bindir="$(dirname "$(command -v initdb 2>/dev/null || echo /nonexistent/initdb)")"
fi
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  as_owner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

stop() {
  local folder
  folder="$(cat "$state" 2>/dev/null || true)"
  [ -n "$folder" ] || return 0
  if [ -d "$folder/data" ]; then
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$folder"
  rm -f "$state"
}

case "$action" in
start)
  if [ ! -x "$bindir/initdb" ]; then
    echo "$0: PostgreSQL's initdb was not found; install the package postgresql" >&2
    exit 1
  fi
  stop
  # A short path: a socket's path may have at most 107 bytes.
  folder="$(mktemp -d /tmp/metrova-pg.XXXXXX)"
  echo "$folder" >"$state"
  if [ "${#as_owner[@]}" -gt 0 ]; then
    chown 65534:65534 "$folder"
  fi
  # The server's own working folder must be one its user may enter.
  cd "$folder"
  if ! "${as_owner[@]}" "$bindir/initdb" -D "$folder/data" -A trust -U metrova_admin --no-sync \
    -E UTF8 --locale=C.UTF-8 >"$folder/initdb.log" 2>&1; then
    cat "$folder/initdb.log" >&2
    stop
    exit 1
  fi
  if ! "${as_owner[@]}" "$bindir/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
    -o "-k $folder -c listen_addresses= -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=200" \
    start >/dev/null; then
    cat "$folder/server.log" >&2
    stop
    exit 1
  fi
  ;;
stop)
  stop
  ;;
*)
  echo "usage: $0 start|stop STATE" >&2
  exit 2
  ;;
esac
