#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Qt 6 for 64-bit Windows, cross-built with Debian's MinGW-w64 from Debian's
# own source package, and QCustomPlot's source with Debian's patches: what
# `make windows` builds ostrel.exe against. Nothing else is downloaded.
#
# Both go to a cache outside the work tree ($OSTREL_CACHE, by default
# ~/.cache/ostrel), in a folder named after the Qt version, the compiler and
# a hash of the options below, so a change to any of them builds anew and an
# unchanged one is reused. Prints three lines: qt=<prefix> qcustomplot=<folder>
# httplib=<folder>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
cache=${OSTREL_CACHE:-$HOME/.cache/ostrel}
triplet=x86_64-w64-mingw32
qt_source_package=qt6-base
qt_version=6.4.2
# The host Qt (moc, rcc, uic) must be the same version as the one built.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
if [[ "$host_version" != "$qt_version"* ]]; then
  echo "windows-qt: the host Qt is ${host_version:-missing}, not $qt_version" >&2
  exit 1
fi

# Only what the program and its tests use. The platform's own libraries
# where Windows has them, Qt's bundled copies for the rest; no OpenGL, no
# SQL, network, D-Bus or XML. Debian's source leaves out the Wintab headers
# (tabletevent), and with OpenGL off 6.4's windows plugin still needs
# dynamicgl off to compile.
options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
  -DQT_FEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_testlib_selfcover=OFF -DFEATURE_printsupport=ON
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_libpng=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_sql_sqlite=OFF
  -DINPUT_openssl=no
)
targets=(Core Gui Widgets PrintSupport Test EntryPointImplementation
         QWindowsIntegrationPlugin QWindowsVistaStylePlugin QOffscreenIntegrationPlugin)
compiler_version=$($triplet-g++-posix -dumpfullversion)
key=$(printf '%s\n' "$qt_version" "$compiler_version" "${options[@]}" "${targets[@]}" |
      sha256sum | cut -c1-12)
prefix=$cache/qt-$qt_version-$triplet-gcc$compiler_version-$key
sources=$cache/sources

# --- Debian's source packages, through a sources list of this build's own --
fetch_sources() {
  local apt=$cache/apt
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$sources"
  cat >"$apt/sources.list" <<EOF
deb-src http://deb.debian.org/debian bookworm main
EOF
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=-"
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt"
                 -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
  local attempt
  for attempt in 1 2 3; do
    apt-get "${options[@]}" update -qq && break
    echo "apt-get update failed (attempt $attempt)" >&2
    sleep $((attempt * 10))
  done
  # The host's own revision first; any revision of the same upstream
  # version has the same source.
  (cd "$sources" && { apt-get "${options[@]}" source -qq -d "$qt_source_package=$host_version" ||
                      apt-get "${options[@]}" source -qq -d "$qt_source_package"; })
  # Unpacked with Debian's patches applied: 2.1.0 as released does not get
  # through Qt 6.4's moc.
  (cd "$sources" && apt-get "${options[@]}" source -qq qcustomplot >/dev/null)
  # The HTTP output's server: its whole header, which Debian's Linux
  # package splits into a compiled library.
  (cd "$sources" && apt-get "${options[@]}" source -qq cpp-httplib >/dev/null)
}

qcustomplot_folder() {
  find "$sources" -maxdepth 1 -type d -name 'qcustomplot-2.1*' | head -n 1
}

httplib_folder() {
  find "$sources" -maxdepth 1 -type d -name 'cpp-httplib-*' | head -n 1
}

if [[ ! -f "$prefix/.complete" || -z "$(qcustomplot_folder)" || -z "$(httplib_folder)" ]]; then
  bash scripts/install-deps.sh windows-qt >&2
  if [[ -z "$(ls "$sources"/qt6-base_"$qt_version"*.orig.tar.* 2>/dev/null)" ||
        -z "$(qcustomplot_folder)" || -z "$(httplib_folder)" ]]; then
    echo "== Debian's sources: $qt_source_package $qt_version, qcustomplot, cpp-httplib ==" >&2
    fetch_sources >&2
  fi
fi

# Built where it stays, with the install prefix the build folder itself (a
# Qt "non-prefix" build): only the targets above are built, and there is
# nothing to install. Its headers point into the source, kept beside it.
if [[ ! -f "$prefix/.complete" ]]; then
  echo "== Qt $qt_version for $triplet into $prefix ==" >&2
  rm -rf "$prefix" "$prefix.src"
  mkdir -p "$prefix.src"
  tar -xf "$sources"/qt6-base_"$qt_version"*.orig.tar.* -C "$prefix.src" --strip-components=1
  start=$SECONDS
  cmake -S "$prefix.src" -B "$prefix" -G Ninja --no-warn-unused-cli \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${options[@]}" >"$prefix.configure.log" 2>&1 ||
    { tail -n 40 "$prefix.configure.log" >&2; exit 1; }
  nice -n 10 cmake --build "$prefix" -j "$jobs" --target "${targets[@]}" >"$prefix.build.log" 2>&1 ||
    { grep -B2 -A8 -m 5 'error' "$prefix.build.log" >&2; exit 1; }
  for dll in Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport Qt6Test; do
    [[ -f "$prefix/bin/$dll.dll" ]] || { echo "windows-qt: $dll.dll not built" >&2; exit 1; }
  done
  echo "$((SECONDS - start)) s" >"$prefix/.complete"
  echo "== Qt built in $((SECONDS - start)) s ==" >&2
fi
echo "qt=$prefix"
echo "qcustomplot=$(qcustomplot_folder)"
echo "httplib=$(httplib_folder)"
