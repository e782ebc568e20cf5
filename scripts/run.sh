#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Metrova in build/ and starts it.
# Arguments are passed on to the program (for example -platform offscreen).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build"

# Metrova is a window: without a graphical session Qt aborts with a message about
# reinstalling the application. Say what is missing before building instead.
platform_given="${QT_QPA_PLATFORM:-}"
for argument in "$@"; do
  if [ "$argument" = "-platform" ]; then
    platform_given=yes
  fi
done
if [ -z "$platform_given" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MESSAGE'
Metrova needs a graphical session (an X11 or Wayland desktop), and this shell has none:
neither DISPLAY nor WAYLAND_DISPLAY is set.

Start it from a terminal of your desktop, or over "ssh -X" from one. On a machine without
a screen, run it on a virtual display (nothing is shown; take screenshots to look at it):

  sudo apt-get install xvfb
  xvfb-run -a -s "-screen 0 1280x1024x24" scripts/run.sh
MESSAGE
  exit 1
fi

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir"
cmake --build "$build_dir" --target metrova -j"$(nproc)"
exec "$build_dir/src/metrova" "$@"
