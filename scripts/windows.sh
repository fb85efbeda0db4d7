#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make windows`: the whole program for 64-bit Windows, cross-built with
# Debian's MinGW-w64 against a Qt built from Debian's source
# (scripts/windows-qt.sh), laid out as a Windows user unpacks it and zipped:
# build-windows/ostrel-<version>-win64.zip, and the installer of the same
# files, build-windows/ostrel-<version>-setup.exe (NSIS).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
build_type=${BUILD_TYPE:-Release}
dir=build-windows
triplet=x86_64-w64-mingw32

bash scripts/install-deps.sh windows-qt
start=$SECONDS
eval "$(JOBS=$jobs bash scripts/windows-qt.sh | grep -E '^(qt|qcustomplot|httplib)=')"
qt_seconds=$((SECONDS - start))

echo "== ostrel.exe and its device libraries ($build_type) =="
start=$SECONDS
cmake -S . -B "$dir" -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE="$build_type" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DOSTREL_QT_PREFIX="$qt" -DOSTREL_QCUSTOMPLOT_SOURCE="$qcustomplot" \
      -DOSTREL_HTTPLIB_SOURCE="$httplib" \
      -DOSTREL_TESTS="${OSTREL_WINDOWS_TESTS:-ON}" >/dev/null
nice -n 10 cmake --build "$dir" -j "$jobs"
# The same configuration as `make test-windows` gives it, so that neither
# builds it anew for the other.
if [[ ! -f build-win32/CMakeCache.txt ]]; then
  cmake -S . -B build-win32 -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DOSTREL_QT=OFF >/dev/null
fi
nice -n 10 cmake --build build-win32 -j "$jobs" --target ostrel-device-host
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")

# --- the folder as it is unpacked ---------------------------------------------
name=ostrel-$version-win64
stage=$dir/$name
rm -rf "$stage" "$dir/$name.zip"
mkdir -p "$stage/adapters" "$stage/translations" "$stage/platforms" "$stage/styles" \
         "$stage/licenses"
bin=$dir/bin
cp "$bin/ostrel.exe" "$bin/ostrel-headless.exe" "$bin/Pexlar.dll" "$stage/"
cp "$bin"/adapters/*.dll "$stage/adapters/"
cp "$bin"/translations/*.qm "$stage/translations/"
# A counter's 32-bit Pexlar.dll runs in the 32-bit device host, which the
# Qt-free 32-bit build makes.
mkdir -p "$stage/x86"
cp build-win32/bin/ostrel-device-host.exe "$stage/x86/"
# Qt where windeployqt puts it: its DLLs beside the program, the plugins
# in folders named after their kind; and the compiler's runtime, which Qt's
# DLLs and the program import. The build's own bin/ gets them too, so that
# its programs and tests run under Wine as they are.
runtime_dirs=("/usr/lib/gcc/$triplet/$($triplet-g++-posix -dumpversion)" "/usr/$triplet/lib")
deploy() { # folder
  local folder=$1 module runtime found candidate
  mkdir -p "$folder/platforms" "$folder/styles"
  for module in Core Gui Widgets PrintSupport Test; do
    [[ $module != Test || $folder == "$bin" ]] || continue
    cp -u "$qt/bin/Qt6$module.dll" "$folder/"
  done
  cp -u "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
  cp -u "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
  if [[ $folder == "$bin" ]]; then
    cp -u "$qt/plugins/platforms/qoffscreen.dll" "$folder/platforms/"
  fi
  for runtime in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found=""
    for candidate in "${runtime_dirs[@]/%//$runtime}"; do
      [[ -f "$candidate" ]] && { found=$candidate; break; }
    done
    [[ -n "$found" ]] || { echo "windows: $runtime not found" >&2; exit 1; }
    cp -u "$found" "$folder/"
  done
}
deploy "$bin"
deploy "$stage"
# Release builds ship without their symbols.
find "$stage" -name '*.exe' -o -name '*.dll' | xargs $triplet-strip --strip-unneeded

# Windows' Notepad reads CRLF: the texts go as .txt with Windows line ends.
crlf() { sed 's/$/\r/' "$1" >"$2"; }
crlf README.md "$stage/README.txt"
crlf LICENSE "$stage/LICENSE.txt"
# Qt is used under the LGPL; its bundled libraries (zlib, libpng, FreeType,
# HarfBuzz, PCRE2 and others) under the licences beside it.
for licence in "$qt.src"/LICENSES/*.txt; do
  [[ $licence == *Commercial* ]] && continue
  crlf "$licence" "$stage/licenses/Qt-$(basename "$licence")"
done
crlf "$qcustomplot/GPL.txt" "$stage/licenses/QCustomPlot-GPL.txt"
crlf "$qcustomplot/debian/copyright" "$stage/licenses/QCustomPlot-copyright.txt"
crlf "$httplib/LICENSE" "$stage/licenses/cpp-httplib-LICENSE.txt"

# Every DLL that a program or library here imports is either Windows' own
# or in the folder where Windows looks: beside ostrel.exe.
missing=0
while read -r binary; do
  for import in $($triplet-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'); do
    lower=${import,,}
    [[ -f "$stage/$import" || -f "$(dirname "$binary")/$import" ]] && continue
    case $lower in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | \
        oleaut32.dll | comdlg32.dll | winspool.drv | imm32.dll | winmm.dll | ws2_32.dll | \
        uxtheme.dll | dwmapi.dll | version.dll | netapi32.dll | userenv.dll | mpr.dll | \
        msvcrt.dll | shlwapi.dll | setupapi.dll | d3d9.dll | d3d11.dll | dxgi.dll | \
        dwrite.dll | d2d1.dll | wtsapi32.dll | authz.dll | comctl32.dll | shcore.dll | \
        api-ms-win-*) ;;
      *)
        echo "windows: $binary needs $import, which is not beside it" >&2
        missing=$((missing + 1)) ;;
    esac
  done
done < <(find "$stage" -name '*.exe' -o -name '*.dll')
((missing == 0)) || exit 1

(cd "$dir" && rm -f "$name.zip" && zip -q -r -X "$name.zip" "$name")
echo "== $dir/$name.zip: $(du -k "$dir/$name.zip" | cut -f1) KB" \
     "(Qt $qt_seconds s, the program $((SECONDS - start)) s) =="

# --- the installer --------------------------------------------------------
# The same files as the zip, each named in the installer, so that the
# uninstaller deletes exactly those (and the folders they made, when empty).
# A Pexlar.dll already there may be a counter's own: it stays.
nsis=$dir/packaging/windows
mkdir -p "$nsis"
windows_path() { sed 's|/|\\|g'; }
{
  last=none
  while IFS=$'\t' read -r folder file; do
    folder=${folder#.}
    folder=${folder#/}
    if [[ $folder != "$last" ]]; then
      sub=$(windows_path <<<"$folder")
      echo "SetOutPath \"\$INSTDIR${sub:+\\$sub}\""
      last=$folder
    fi
    if [[ $folder/$file == /Pexlar.dll ]]; then
      printf 'SetOverwrite off\nFile "%s"\nSetOverwrite on\n' "$root/$stage/$file"
    else
      echo "File \"$root/$stage/${folder:+$folder/}$file\""
    fi
  done < <(cd "$stage" && find . -type f -printf '%h\t%f\n' | LC_ALL=C sort)
} >"$nsis/files.nsh"
{
  (cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort) | windows_path | sed 's|^|Delete "$INSTDIR\\|; s|$|"|'
  # Deepest first.
  (cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort -r) | windows_path |
    sed 's|^|RMDir "$INSTDIR\\|; s|$|"|'
} >"$nsis/unfiles.nsh"
IFS=. read -r major minor patch _ <<<"$version.0.0"
setup=$dir/ostrel-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$major.$minor.$patch.0" \
         -DPUBLISHER="$(sed -n 's/^Copyright: *[0-9, -]* //p' packaging/copyright | head -n 1)" \
         -DICON="$root/$nsis/ostrel.ico" -DFILES="$root/$nsis/files.nsh" \
         -DUNFILES="$root/$nsis/unfiles.nsh" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
         -DOUTFILE="$root/$setup" packaging/windows/ostrel-setup.nsi
echo "== $setup: $(du -k "$setup" | cut -f1) KB =="
