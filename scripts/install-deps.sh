#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Ostrel needs to build, run and test.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-svg-dev qt6-l10n-tools libqcustomplot-dev libgl-dev
  libgtest-dev googletest
  fonts-ipafont-gothic
  xvfb xauth x11-utils xdotool
  lintian desktop-file-utils appstream file binutils dpkg-dev
  libmosquitto-dev mosquitto mosquitto-clients openssl
  dbus-daemon
  libcurl4-openssl-dev tzdata
  # The InfluxDB output's tests start their own servers on loopback ports.
  influxdb victoria-metrics
  # The HTTP output's tests: Prometheus scrapes it, Chromium shows its page.
  libcpp-httplib-dev prometheus chromium chromium-driver python3-selenium
)
# `install-deps.sh fuzz`: also clang and its libFuzzer and sanitizer runtimes.
# `install-deps.sh check`: the formatter that `make check` runs.
case "${1:-}" in
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  check) packages+=(clang-format) ;;
  # The MinGW-w64 cross compilers with POSIX threads and their objdump,
  # 64-bit Wine, GoogleTest's sources (built with the cross compilers);
  # 32-bit Wine is tried below. The native compiler and GoogleTest build the
  # fake counter that plays on a COM port under Wine; a virtual display,
  # xdotool, ImageMagick's import and the Japanese fonts drive ostrel.exe
  # under Wine and take its screenshot.
  windows)
    packages=(cmake ninja-build make g++ libgtest-dev googletest
              g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
              wine wine64
              xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic zip unzip) ;;
  # Qt for Windows from Debian's source (scripts/windows-qt.sh): the
  # host's Qt tools of the same version, dpkg-source to unpack, and the
  # cross compilers. librsvg2-bin's rsvg-convert and icoutils' icotool make
  # the programs' icon (an .ico) from the SVG; nsis's makensis makes the
  # installer.
  windows-qt)
    packages=(cmake ninja-build make dpkg-dev qt6-base-dev qt6-base-dev-tools qt6-l10n-tools
              g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
              zip unzip librsvg2-bin icoutils nsis) ;;
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

# Whether this kernel runs 32-bit x86 programs at all: some do not (a
# virtual machine's kernel built without IA-32 emulation), and there 32-bit
# Wine cannot start. The probe is the smallest such program: an ELF of 91
# bytes whose code is exit(0) by int 0x80.
runs_32_bit_programs() {
  local probe status=0
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\x31\xc0\x40\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

# 32-bit Wine needs the i386 architecture. Where the archive cannot give it
# (an i386 index that does not download, libraries of another version than
# the 64-bit ones), the architecture is taken away again, so that apt keeps
# working as before. Where the kernel runs no 32-bit programs, an installed
# wine32 would make `wine` fail for 64-bit programs too (it prefers the
# 32-bit loader): it is not installed there, and taken away if it is.
wine32_status=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)
if [[ "${1:-}" == "windows" ]] && ! runs_32_bit_programs; then
  echo "This kernel runs no 32-bit programs: the 32-bit tests will not run"
  if [[ "$wine32_status" == "install ok installed" ]]; then
    $sudo apt-get remove -y -qq wine32:i386 >/dev/null
  fi
elif [[ "${1:-}" == "windows" ]] && [[ "$wine32_status" != "install ok installed" ]]; then
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
