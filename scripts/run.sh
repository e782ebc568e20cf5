#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Metrova in build/ and starts it.
# Arguments are passed on to the program (for example -platform offscreen).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir"
cmake --build "$build_dir" --target metrova -j"$(nproc)"
exec "$build_dir/src/metrova" "$@"
