#!/usr/bin/env bash
# Builds the Debian package in build-package/, checks it with lintian, desktop-file-validate and
# appstreamcli, unpacks it into a scratch root and runs the installed programs from there.
#   scripts/package.sh              its own Release build in build-package/
#   scripts/package.sh BUILD_DIR    packages an existing build of the same sources (CI passes the
#                                   test run's, which saves building everything a second time)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$root/build-package"
cmake_args=(-DCMAKE_BUILD_TYPE=Release)
if [ -n "${1:-}" ]; then
  build_dir="$(cd "$1" && pwd)"
  cmake_args=()
fi

"$root/scripts/setup.sh" --package
# Only what the package holds is built; the tests run in scripts/test.sh. Configuring again finds
# help2man, which the package's manual page needs and a test build may lack.
cmake -S "$root" -B "$build_dir" "${cmake_args[@]}" -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$build_dir" -j"$(nproc)" --target metrova metrova-cli metrova_compressed_files
rm -f "$build_dir"/metrova_*.deb
(cd "$build_dir" && cpack -G DEB)
deb="$(ls "$build_dir"/metrova_*.deb)"

desktop-file-validate "$root/packaging/metrova.desktop"
appstreamcli validate --no-net "$root/packaging/org.metrova.Metrova.metainfo.xml"
# Errors fail the build; warnings are shown.
lintian --fail-on error "$deb"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
bin="$scratch/root/usr/bin"
"$bin/metrova-cli" --help > /dev/null
"$bin/metrova-cli" import "$scratch/sample.db" "$scratch/root/usr/share/metrova/catalogue.csv" \
  2> "$scratch/import.err"
if [ -s "$scratch/import.err" ]; then
  echo "The installed sample imports with messages:" >&2
  cat "$scratch/import.err" >&2
  exit 1
fi
"$bin/metrova-cli" list "$scratch/sample.db" | grep -qx Zeiss

# Installed, the executable's folder cannot be written: the window keeps its settings in the
# user's configuration folder. A user other than root, since root may write anywhere.
chmod 755 "$scratch" "$scratch/root"
mkdir "$scratch/home"
chown 65534:65534 "$scratch/home"
status=0
HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" timeout 5 \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$bin/metrova" -platform offscreen \
  || status=$?
if [ "$status" -ne 124 ]; then
  echo "The installed window did not keep running (status $status)" >&2
  exit 1
fi
if [ -e "$bin/.metrova" ] || [ ! -d "$scratch/home/.config/metrova" ]; then
  echo "The installed window did not keep its settings in the configuration folder" >&2
  exit 1
fi
echo "Package $(basename "$deb"): lintian, validators and the installed smoke run passed."
