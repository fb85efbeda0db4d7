#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer of `make windows` under Wine, silent, as a script or an
# administrator runs it:
#  1. /S installs into %LOCALAPPDATA%\Programs\Ostrel exactly the zip's
#     files and uninst.exe, registers the uninstaller under HKCU and makes
#     the Start menu's shortcut, and no Startup shortcut;
#  2. /S /STARTUP over it keeps ostrel.ini and a counter's own Pexlar.dll,
#     puts back a program file that was deleted, and makes the Startup
#     shortcut to ostrel-headless.exe; /S again keeps that shortcut;
#  3. uninst.exe /S deletes the program's files, folders, shortcuts and key,
#     and keeps ostrel.ini and %LOCALAPPDATA%\Ostrel;
#  4. /S /D= installs into a folder of the user's with a space in its name.
# Usage: run-wine-installer.sh <ostrel-<version>-setup.exe> <ostrel-<version>-win64.zip>
# in a started Wine prefix ($WINEPREFIX), where Ostrel is not installed.
set -euo pipefail
setup=$(winepath -w "$1" 2>/dev/null)
zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:?a started Wine prefix}"
version=$(basename "$zip" | sed 's/^ostrel-\(.*\)-win64\.zip$/\1/')
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrel'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() { # description command...
  local description=$1
  shift
  if "$@" >/dev/null 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $description" >&2
  fi
}
# A Windows path's Unix one in the prefix.
unix() { winepath -u "$1" 2>/dev/null; }
# Runs a program by its Windows path with arguments as cmd.exe passes them
# on: /D= and _?= must come last and unquoted, spaces and all. From its own
# folder, as a path with a space would need quotes, which cmd /c strips.
windows() { # program arguments
  local folder=${1%\\*} name=${1##*\\}
  timeout 300 wine cmd /c "cd /d $folder && $name $2" >/dev/null 2>&1
}
value() { # name: the uninstall key's value as reg prints it
  wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
has_key() { wine reg query "$key" >/dev/null 2>&1; }
same() { [[ "$1" == "$2" ]]; }
no() { ! "$@"; }

# The zip's files, relative to its top folder, and the same with uninst.exe.
unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort >"$work/zip-files"
(cat "$work/zip-files"; echo uninst.exe) | LC_ALL=C sort >"$work/installed-files"
listing() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }
kilobytes=$(unzip -Zt "$zip" | sed -n 's/.* \([0-9]*\) bytes uncompressed.*/\1/p')
kilobytes=$((kilobytes / 1024))

local_app_data=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
app_data=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
menu=$(unix "$app_data\\Microsoft\\Windows\\Start Menu\\Programs")/Ostrel.lnk
startup=$(unix "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp")/"Ostrel logging.lnk"
data=$(unix "$local_app_data\\Ostrel")
folder_w="$local_app_data\\Programs\\Ostrel"
folder=$(unix "$folder_w")

# 1. The first install, in the default folder.
check "setup /S ends with status 0" windows "$setup" /S
check "the folder holds the zip's files and uninst.exe" \
  diff "$work/installed-files" <(listing "$folder")
check "DisplayName" same "$(value DisplayName)" "Ostrel"
check "DisplayVersion" same "$(value DisplayVersion)" "$version"
check "Publisher" same "$(value Publisher)" \
  "$(sed -n 's/^Copyright: *[0-9, -]* //p' "$root/packaging/copyright" | head -n 1)"
check "DisplayIcon" same "$(value DisplayIcon)" "$folder_w\\ostrel.exe,0"
check "InstallLocation" same "$(value InstallLocation)" "$folder_w"
check "UninstallString" same "$(value UninstallString)" "\"$folder_w\\uninst.exe\""
check "QuietUninstallString" same "$(value QuietUninstallString)" "\"$folder_w\\uninst.exe\" /S"
check "NoModify" same "$(value NoModify)" 0x1
check "NoRepair" same "$(value NoRepair)" 0x1
size=$(( $(value EstimatedSize) ))
check "EstimatedSize $size KB is the files' $kilobytes KB or up to 10 % more" \
  test "$size" -ge "$kilobytes" -a "$size" -le $((kilobytes * 11 / 10))
check "the Start menu's shortcut to ostrel.exe" grep -aqF "$folder_w\\ostrel.exe" "$menu"
check "no Startup shortcut without /STARTUP" no test -e "$startup"

# 2. Installed again over the user's files.
printf '[Station]\r\nName=attic\r\n' >"$folder/ostrel.ini"
cp "$folder/ostrel.ini" "$work/ostrel.ini"
printf 'a counter of its own\n' >"$folder/Pexlar.dll"
rm "$folder/README.txt"
mkdir -p "$data/journal"
printf 'kept\n' >"$data/journal/2026-12-09T15-23-07.csv"
check "setup /S /STARTUP over it ends with status 0" windows "$setup" "/S /STARTUP"
check "ostrel.ini is kept" cmp "$work/ostrel.ini" "$folder/ostrel.ini"
check "a counter's own Pexlar.dll is kept" grep -q 'a counter of its own' "$folder/Pexlar.dll"
check "a deleted program file is back" test -f "$folder/README.txt"
check "the Startup shortcut to ostrel-headless.exe" \
  grep -aqF "$folder_w\\ostrel-headless.exe" "$startup"
check "setup /S once more ends with status 0" windows "$setup" /S
check "the Startup shortcut stays when installed again" test -f "$startup"

# 3. Uninstalled: run in place (_?=), so the uninstaller itself stays.
check "uninst.exe /S ends with status 0" windows "$folder_w\\uninst.exe" "/S _?=$folder_w"
check "only ostrel.ini and uninst.exe are left" \
  diff <(printf '%s\n' ostrel.ini uninst.exe) <(listing "$folder")
check "no folder of the program is left" \
  same "$(cd "$folder" && find . -mindepth 1 -type d)" ""
check "ostrel.ini is kept by the uninstaller" cmp "$work/ostrel.ini" "$folder/ostrel.ini"
check "the journals are kept" test -f "$data/journal/2026-12-09T15-23-07.csv"
check "the uninstall key is gone" no has_key
check "the Start menu's shortcut is gone" no test -e "$menu"
check "the Startup shortcut is gone" no test -e "$startup"
rm -rf "$folder" "$data/journal/2026-12-09T15-23-07.csv"

# 4. A folder of the user's choosing.
mine_w='C:\Ostrel Test'
mine=$(unix "$mine_w")
check "setup /S /D= ends with status 0" windows "$setup" "/S /D=$mine_w"
check "/D= puts the files there" diff "$work/installed-files" <(listing "$mine")
check "InstallLocation is the /D= folder" same "$(value InstallLocation)" "$mine_w"
check "uninst.exe /S from there ends with status 0" windows "$mine_w\\uninst.exe" "/S _?=$mine_w"
check "that folder is empty but for uninst.exe" same "$(listing "$mine")" uninst.exe
rm -rf "$mine"

echo "installer: $passed passed, $failed failed"
((failed == 0))
