#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Ostrel needs to build, run and test.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libqcustomplot-dev libgl-dev
  libgtest-dev googletest
  fonts-ipafont-gothic
  xvfb xauth x11-utils xdotool
  lintian desktop-file-utils appstream file binutils dpkg-dev
  libmosquitto-dev mosquitto mosquitto-clients openssl
)
# `install-deps.sh fuzz`: also clang and its libFuzzer and sanitizer runtimes.
# `install-deps.sh check`: the formatter that `make check` runs.
case "${1:-}" in
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  check) packages+=(clang-format) ;;
esac

if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
  echo "This is not a Debian or Ubuntu system. Install these packages (or their equivalents):" >&2
  printf '  %s\n' "${packages[@]}" >&2
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails the update now and then: try again,
# and go on with the lists there are rather than give up.
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  echo "apt-get update failed (attempt $attempt)" >&2
  sleep $((attempt * 10))
done
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
