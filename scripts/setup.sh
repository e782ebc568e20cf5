#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Metrova need; with
# --package also those that build and check the .deb (scripts/package.sh), with --fuzz clang
# and libFuzzer for the sanitizer build and scripts/fuzz.sh, with --format clang-format for the
# format check; the options combine (one apt run for all).
# Packages that are installed already are skipped; sudo is used when not run as root.
set -euo pipefail

packages=(
  g++ cmake make
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libsqlite3-dev libqt5charts5-dev
  fonts-liberation fonts-dejavu-core
  poppler-utils
  libxml2-utils
  postgresql libqt5sql5-psql libpq-dev
)
for option in "$@"; do
  case "$option" in
    --package) packages+=(dpkg-dev file help2man lintian desktop-file-utils appstream) ;;
    --format) packages+=(clang-format) ;;
    --fuzz) packages+=(clang libclang-rt-dev) ;;
    *)
      echo "usage: scripts/setup.sh [--package] [--format] [--fuzz]" >&2
      exit 2
      ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
# The tests make a server of their own: the package is kept from making and starting a cluster
# beside it (the existing configuration is kept at install, --force-confold).
if [[ " ${missing[*]} " == *" postgresql "* ]]; then
  conf=/etc/postgresql-common/createcluster.conf
  if [ -e "$conf" ]; then
    "${sudo_cmd[@]}" sed -i 's/^#* *create_main_cluster.*/create_main_cluster = false/' "$conf"
  else
    "${sudo_cmd[@]}" mkdir -p /etc/postgresql-common
    echo "create_main_cluster = false" | "${sudo_cmd[@]}" tee "$conf" >/dev/null
  fi
fi
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  -o Dpkg::Options::=--force-confold "${missing[@]}"
