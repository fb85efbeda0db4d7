#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make test-windows`: the Qt-free layers, Pexlar.dll and the adapter DLLs
# cross-built with Debian's MinGW-w64 for 64-bit and 32-bit Windows, their
# tests run under Wine (headless, in a Wine prefix of its own that is removed
# afterwards), and the device libraries' exports and imports checked; then
# the whole program of `make windows`: its widget tests under Wine,
# ostrel.exe from the zip driven on a virtual display, and its installer
# run silently.
# The 32-bit tests need 32-bit Wine (wine32 from the i386 architecture); where
# it cannot be had they are built and their run is reported as not done.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
build_type=${BUILD_TYPE:-RelWithDebInfo}
# Seconds for one test executable under Wine, and for Wine's start-up.
test_timeout=${WINE_TEST_TIMEOUT:-300}
boot_timeout=${WINE_BOOT_TIMEOUT:-180}

bash scripts/install-deps.sh windows

# --- the two cross builds ---------------------------------------------------
build() { # name toolchain
  local dir=build-$1
  cmake -S . -B "$dir" -G Ninja --no-warn-unused-cli -DCMAKE_BUILD_TYPE="$build_type" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2.cmake" -DOSTREL_QT=OFF >/dev/null
  nice -n 15 cmake --build "$dir" -j "$jobs"
}
echo "== cross build: x86_64 (64-bit Windows) =="
build win64 mingw-w64-x86_64
echo "== cross build: i686 (32-bit Windows) =="
build win32 mingw-w64-i686
# The fake GMC counter that the adapter logs on a COM port under Wine is a
# Linux program: a native build without Qt, of that program alone.
echo "== native build: the fake GMC counter =="
cmake -S . -B build-native -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DOSTREL_QT=OFF >/dev/null
nice -n 15 cmake --build build-native -j "$jobs" --target ostrel-fake-gmc

# --- the device libraries as a program loads them ---------------------------
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
entry_points=(Find GetInfo Connect Disconnect GetData GetCoefficient SetCoefficient Clear)
# Bytes of arguments that each stdcall entry point pops on 32-bit x86.
declare -A argument_bytes=([Find]=0 [GetInfo]=4 [Connect]=4 [Disconnect]=4 [GetData]=4
                           [GetCoefficient]=12 [SetCoefficient]=12 [Clear]=0)

# Nothing imported but Windows' own DLLs (no libstdc++, libgcc or
# libwinpthread to put beside it).
check_imports() { # objdump file
  local objdump=$1 file=$2 imports name
  imports=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for name in $imports; do
    case $name in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll | shell32.dll | \
        api-ms-win-*) ;;
      *) fail "$file needs $name beside it" ;;
    esac
  done
}

# The eight names exported undecorated, and only Windows' own DLLs imported.
check_exports_and_imports() { # objdump dll
  local objdump=$1 dll=$2 exports name
  exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  for name in "${entry_points[@]}"; do
    grep -Eq "\] ${name}\$" <<<"$exports" || fail "$dll does not export $name"
  done
  if grep -q '@' <<<"$exports"; then
    fail "$dll exports decorated names: $(grep '@' <<<"$exports" | tr -s ' \t' ' ')"
  fi
  check_imports "$objdump" "$dll"
}

# Every return of each 32-bit entry point pops its arguments (stdcall): ret
# with the argument bytes, a plain ret for none.
check_stdcall() { # dll
  local dll=$1 name bytes body returns expected code
  code=$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll")
  for name in "${entry_points[@]}"; do
    bytes=${argument_bytes[$name]}
    body=$(awk -v label="<_${name}@${bytes}>:" '
             /^[0-9a-f]+ <.*>:$/ { inside = index($0, label) > 0; next }
             inside { print }' <<<"$code")
    if [[ -z "$body" ]]; then
      fail "$dll: no function _${name}@${bytes}"
      continue
    fi
    returns=$(grep -Eo '\sret[lw]?(\s+\$0x[0-9a-f]+)?' <<<"$body" | tr -s ' \t' ' ' | sort -u)
    if ((bytes == 0)); then expected=' ret'; else expected=" ret \$0x$(printf %x "$bytes")"; fi
    if [[ "$returns" != "$expected" ]]; then
      fail "$dll: $name returns with '$(tr '\n' ',' <<<"$returns")', not '$expected'"
    fi
  done
}

echo "== device libraries: exports, imports, calling convention =="
for dll in build-win64/bin/Pexlar.dll build-win64/bin/adapters/*.dll; do
  check_exports_and_imports x86_64-w64-mingw32-objdump "$dll"
done
for dll in build-win32/bin/Pexlar.dll build-win32/bin/adapters/*.dll; do
  check_exports_and_imports i686-w64-mingw32-objdump "$dll"
  check_stdcall "$dll"
done
checked=$(ls build-win64/bin/Pexlar.dll build-win64/bin/adapters/*.dll \
             build-win32/bin/Pexlar.dll build-win32/bin/adapters/*.dll | wc -l)
echo "$checked device libraries checked, $failures faults"
# The device hosts ship alone in a folder of their own.
check_imports x86_64-w64-mingw32-objdump build-win64/bin/ostrel-device-host.exe
check_imports i686-w64-mingw32-objdump build-win32/bin/ostrel-device-host.exe

# --- the tests under Wine ---------------------------------------------------
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-wine.XXXXXX")
export WINEPREFIX
export WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer, and no display: nothing here opens a window.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# The fake counter and its watcher, while they run.
com_port_processes=()
cleanup() {
  if ((${#com_port_processes[@]} > 0)); then
    kill "${com_port_processes[@]}" 2>/dev/null || true
  fi
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "== Wine: $(wine --version) in $WINEPREFIX =="
timeout "$boot_timeout" wineboot -i >/dev/null 2>&1 || true
timeout "$boot_timeout" wineserver -w || true

# Wine now and then ends a program before the program's own code runs (once
# in a few hundred starts, in 0.02 s, without a word). A failed test that
# printed nothing of its own runs once more, its first output shown; a test
# that started and failed fails. Succeeds when every failed test passed on
# its second run.
rerun_unstarted() { # build-folder log
  local number name failed=()
  while read -r number name; do
    failed+=("$number:$name")
  done < <(sed -n '/The following tests FAILED:/,$s/^[[:space:]]*\([0-9]*\) - \([^ ]*\) .*/\1 \2/p' "$2")
  ((${#failed[@]} > 0)) || return 1
  local entry
  for entry in "${failed[@]}"; do
    grep -qE "^${entry%%:*}: (Running main\(\)|\*+ Start testing of)" "$2" && return 1
  done
  for entry in "${failed[@]}"; do
    echo "NOTE: ${entry#*:} did not start under Wine; its output was:" >&2
    grep -E "^${entry%%:*}: " "$2" | head -20 >&2 || true
    (cd "$1" && timeout "$test_timeout" ctest --timeout "$test_timeout" -V \
        -R "^${entry#*:}\$" >>"$root/$2" 2>&1) || return 1
  done
}

# Runs one build's tests; prints its table rows (layer, target, cases).
summary=()
run_tests() { # build target
  local dir=build-$1 log
  log=$dir/wine-tests.log
  echo "== tests under Wine: $2 =="
  if ! (cd "$dir" && timeout $((test_timeout * 40)) \
          ctest --timeout "$test_timeout" -V >"$root/$log" 2>&1) &&
     ! rerun_unstarted "$dir" "$log"; then
    grep -E '^[0-9]+: \[  FAILED  \]|Failed|Timeout|Exception' "$log" | head -40 >&2 || true
    fail "tests under Wine ($2); the whole output is in $log"
  fi
  tail -n 3 "$log" | grep -E 'tests passed|tests failed' || true
  # Cases passed, by test executable, then by layer (its folder in tests/).
  local number name passed layer source
  declare -A by_layer=()
  while read -r number name; do
    passed=$(sed -n "s/^${number}: \[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p" "$log" | tail -n 1)
    # Wine's status alone does not say that the program ran.
    [[ -n "$passed" && "$passed" != 0 ]] || fail "$name ($2) ran no test case"
    layer=""
    for source in tests/*/"${name}.cpp"; do
      [[ -e "$source" ]] && layer=$(basename "$(dirname "$source")")
    done
    by_layer[${layer:-?}]=$(( ${by_layer[${layer:-?}]:-0} + ${passed:-0} ))
  done < <(sed -n 's/^test \([0-9]*\)$/\1/p; s/^ *Start *\([0-9]*\): \(.*\)$/\1 \2/p' "$log" |
           awk 'NF == 2')
  for layer in $(printf '%s\n' "${!by_layer[@]}" | sort); do
    summary+=("$(printf '| %-9s | %-6s | %5s |' "$layer" "$2" "${by_layer[$layer]}")")
  done
}

# A Wine without its 32-bit half ends a 32-bit program at once with status 0
# and no output: only the program's own output tells that it ran.
listing=$(timeout 60 wine build-win32/bin/ExtendedTest.exe --gtest_list_tests 2>/dev/null || true)
runs_32_bit=false
grep -q '^MulExtendedTest\.' <<<"$listing" && runs_32_bit=true

# Each build gets the other's device host where the program looks for it
# (x86\ beside the 64-bit program, x64\ beside the 32-bit one); the 32-bit
# host only where this Wine can run it.
rm -rf build-win64/bin/x86 build-win32/bin/x64
mkdir -p build-win32/bin/x64
cp build-win64/bin/ostrel-device-host.exe build-win32/bin/x64/
if $runs_32_bit; then
  mkdir -p build-win64/bin/x86
  cp build-win32/bin/ostrel-device-host.exe build-win64/bin/x86/
fi

# The 64-bit tests also try the 32-bit Pexlar.dll, which they must refuse,
# and load through the 32-bit device host where there is one.
OSTREL_TEST_OTHER_WORD_SIZE_PEXLAR="Z:$root/build-win32/bin/Pexlar.dll" run_tests win64 x86_64

# A GMC-320 played by ostrel-fake-gmc on a pseudo-terminal, which Wine's
# table of ports (HKLM\Software\Wine\Ports) makes COM5; /dev/null, no serial
# port, becomes COM12, entered first so that the order is the adapter's
# doing. Wine makes both ports and lists them under SERIALCOMM when it next
# starts. GmcComPortTest logs the counter through PexlarGmc.dll, then makes
# the file that has the counter ended: the cable pulled.
run_com_port_test() {
  local work log=build-win64/wine-com-port.log count=291 fake watcher pty status=0 passed
  echo "== a GMC counter on COM5 under Wine =="
  work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-com.XXXXXX")
  # It outlives the test by far, and ends by itself should the script be killed.
  build-native/bin/ostrel-fake-gmc "$count" 900 >"$work/port" 2>"$work/fake.log" &
  fake=$!
  com_port_processes+=("$fake")
  for _ in $(seq 100); do
    [[ -s "$work/port" ]] && break
    sleep 0.1
  done
  pty=$(head -n 1 "$work/port")
  if [[ "$pty" != /dev/pts/* ]]; then
    fail "the fake GMC counter gave no terminal: $(cat "$work/fake.log")"
    kill "$fake" 2>/dev/null || true
    return
  fi
  wine reg add 'HKLM\Software\Wine\Ports' /v COM12 /d /dev/null /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null 2>&1
  timeout "$boot_timeout" wineserver -w || true
  (while [[ ! -e "$work/unplug" ]]; do sleep 0.1; done; kill "$fake") &
  watcher=$!
  com_port_processes+=("$watcher")
  OSTREL_TEST_GMC_PORT=COM5 OSTREL_TEST_IDLE_PORT=COM12 OSTREL_TEST_GMC_COUNT=$count \
    OSTREL_TEST_UNPLUG_FILE="Z:$work/unplug" \
    timeout "$test_timeout" wine build-win64/bin/GmcComPortTest.exe >"$log" 2>&1 || status=$?
  kill "$fake" "$watcher" 2>/dev/null || true
  wait "$fake" "$watcher" 2>/dev/null || true
  com_port_processes=()
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log")
  grep -E '^\[ +(OK|FAILED) +\]' "$log" || true
  if ((status != 0)) || [[ -z "$passed" || "$passed" == 0 ]]; then
    grep -B2 -A8 'Failure' "$log" | head -60 >&2 || true
    fail "the GMC counter on COM5 under Wine; the whole output is in $log"
  fi
  summary+=("$(printf '| %-9s | %-6s | %5s |' wine-com x86_64 "${passed:-0}")")
  rm -rf "$work"
}
run_com_port_test

# --- the whole program, as the zip of `make windows` gives it ---------------
# Its widget tests under Wine (offscreen), then ostrel.exe unpacked into the
# Wine prefix and driven from its menu on a virtual display, its files
# compared with those of the Linux build's logger for the same readings.
run_windows_program() {
  echo "== the whole program for Windows: make windows =="
  if ! JOBS=$jobs bash scripts/windows.sh; then
    fail "make windows"
    return
  fi
  QT_QPA_PLATFORM=offscreen run_tests windows x86_64
  echo "== ostrel.exe under Wine, from the zip =="
  if [[ ! -f build/CMakeCache.txt ]]; then
    bash scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
  fi
  nice -n 15 cmake --build build -j "$jobs" --target ostrel-headless Pexlar
  local folder=$WINEPREFIX/drive_c/Ostrel
  rm -rf "$folder"
  mkdir -p "$folder"
  unzip -q build-windows/ostrel-*-win64.zip -d "$folder"
  if bash tests/smoke/run-wine-smoke.sh "$folder"/ostrel-*-win64 build-windows build/bin; then
    summary+=("$(printf '| %-9s | %-6s | %5s |' smoke x86_64 4)")
  else
    fail "ostrel.exe under Wine"
  fi
  echo "== the installer under Wine, silent =="
  local version log=build-windows/wine-installer.log
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
  if ! bash tests/smoke/run-wine-installer.sh "build-windows/ostrel-$version-setup.exe" \
         "build-windows/ostrel-$version-win64.zip" 2>&1 | tee "$log"; then
    fail "the installer under Wine"
  fi
  summary+=("$(printf '| %-9s | %-6s | %5s |' installer x86_64 \
                "$(sed -n 's/^installer: \([0-9]*\) passed.*/\1/p' "$log")")")
}
run_windows_program

if $runs_32_bit; then
  OSTREL_TEST_OTHER_WORD_SIZE_PEXLAR="Z:$root/build-win64/bin/Pexlar.dll" run_tests win32 i686
else
  echo "== tests under Wine: i686 not run: this Wine runs no 32-bit programs (wine32 missing) =="
  summary+=("$(printf '| %-9s | %-6s | %5s |' all i686 'not run')")
fi

echo
echo "| layer     | target | cases passed |"
echo "|-----------|--------|-------|"
printf '%s\n' "${summary[@]}"
if ((failures > 0)); then
  echo "make test-windows: $failures faults" >&2
  exit 1
fi
echo "make test-windows: all passed"
