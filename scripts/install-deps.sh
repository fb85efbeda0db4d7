#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Ostrel needs to build, run and test.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-l10n-tools libqcustomplot-dev libgl-dev
  libgtest-dev googletest
  fonts-ipafont-gothic
  xvfb xauth x11-utils xdotool
  lintian desktop-file-utils appstream file binutils dpkg-dev
  libmosquitto-dev mosquitto mosquitto-clients openssl
  dbus-daemon
  libcurl4-openssl-dev tzdata
)
# `install-deps.sh fuzz`: also clang and its libFuzzer and sanitizer runtimes.
# `install-deps.sh check`: the formatter that `make check` runs.
case "${1:-}" in
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  check) packages+=(clang-format) ;;
  # The MinGW-w64 cross compilers with POSIX threads and their objdump,
  # 64-bit Wine, GoogleTest's sources (built with the cross compilers);
  # 32-bit Wine is tried below.
  windows)
    packages=(cmake ninja-build make googletest
              g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
              wine wine64) ;;
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

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  # A mirror in the middle of a sync fails the update now and then: try
  # again, and go on with the lists there are rather than give up.
  for attempt in 1 2 3; do
    $sudo apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt)" >&2
    sleep $((attempt * 10))
  done
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine needs the i386 architecture. Where the archive cannot give it
# (an i386 index that does not download, libraries of another version than
# the 64-bit ones), the architecture is taken away again, so that apt keeps
# working as before.
if [[ "${1:-}" == "windows" ]] &&
   [[ "$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)" != "install ok installed" ]]; then
  added=""
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=yes
  fi
  if $sudo apt-get update -qq >/dev/null 2>&1 &&
     $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    echo "Installed wine32:i386 (32-bit Wine)"
  else
    echo "32-bit Wine (wine32:i386) cannot be installed from this archive: the 32-bit tests will not run"
    if [[ -n "$added" ]] && [[ -z "$(dpkg-query -W -f='${Package}:${Architecture}\n' 2>/dev/null | grep ':i386$' || true)" ]]; then
      $sudo dpkg --remove-architecture i386
      $sudo apt-get update -qq >/dev/null 2>&1 || true
    fi
  fi
fi
exit 0
