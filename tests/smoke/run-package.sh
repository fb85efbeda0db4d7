#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build tree and checks it as a distribution
# would: lintian (errors and warnings fail, unless overridden with a reason in
# packaging/ostrel.lintian-overrides), the menu entry, the AppStream metainfo
# and the changelog's version. Then it unpacks the package into a folder of
# its own and starts the program there under Xvfb as the user nobody, with a
# home that user owns: the window must come up, the simulated counter must be
# the package's own, and the settings must land in ~/.config/ostrel/ because
# the program's folder is not writable.
set -euo pipefail
build=$(cd "$1" && pwd)
# Starting the program as another user needs root.
if [[ $(id -u) -ne 0 ]]; then
  echo "SKIP: needs root to start the program as nobody"
  exit 77
fi
export QT_QPA_PLATFORM=xcb
# The program's own texts, which the script looks for, whatever the desktop's language.
export LANGUAGE=ja
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
debs=("$work"/out/ostrel_*.deb)
[[ -f "${debs[0]}" && ${#debs[@]} -eq 1 ]] || fail "not one package: ${debs[*]}"
deb=${debs[0]}
ddeb=$(echo "$work"/out/ostrel-dbgsym_*.ddeb)
[[ -f "$ddeb" ]] || fail "no debug symbols package"
chmod 755 "$work" "$work/out"

# Everything that needs no root runs as nobody, in a home of its own.
home=$work/home
mkdir "$home"
chown nobody:nogroup "$home"
# From that home: the build folder, where the test starts, may lie in a
# folder that nobody cannot enter (a checkout under a private temporary folder).
as_nobody() {
  (cd "$home" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$@")
}

echo "== lintian $(basename "$deb") $(basename "$ddeb")"
as_nobody lintian --fail-on error,warning "$deb" "$ddeb" ||
  fail "lintian reports errors or warnings not overridden"

# libcurl and libmosquitto are loaded at run time, so no binary's links
# name them: the package must.
depends=$(dpkg-deb --field "$deb" Depends)
for library in libcurl4 libmosquitto1; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" ||
    fail "the package does not depend on $library: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
chmod 755 "$root"

id=io.github.ostrel.ostrel
desktop=$root/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "the menu entry does not validate"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]] || fail "no icon $icon.svg"
# --strict: notes fail as warnings do; --pedantic shows hints as well.
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net --strict --pedantic "$metainfo" || fail "the metainfo does not validate"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $id.desktop"
# Each screenshot is a file of packaging/screenshots/, of the size given.
sources=$(cd "$(dirname "$0")/../.." && pwd)
shots=$(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">https://.*/packaging/screenshots/\([^<]*\)</image>.*|\1 \2 \3|p' "$metainfo")
[[ -n "$shots" && $(wc -l <<<"$shots") -eq $(grep -c '<image' "$metainfo") ]] ||
  fail "not every screenshot of the metainfo is in packaging/screenshots/ with its size"
while read -r width height name; do
  shot=$sources/packaging/screenshots/$name
  [[ -f "$shot" ]] || fail "the metainfo shows $name, which packaging/screenshots/ lacks"
  file -b "$shot" | grep -qF "PNG image data, $width x $height," ||
    fail "$name is not $width x $height: $(file -b "$shot")"
done <<<"$shots"

version=$(dpkg-deb --field "$deb" Version)
first=$(zcat "$root/usr/share/doc/ostrel/changelog.Debian.gz" | head -n 1)
[[ "$first" == "ostrel ($version) "* ]] ||
  fail "the changelog's first entry is \"$first\", the package is $version"

# The unprivileged run: nothing of the package is writable for nobody. The
# display is root's, open to every local user; nobody reads the wait
# helpers from the work folder, as the checkout may be closed to it.
cp "$(dirname "$0")/support.sh" "$work/"
source "$work/support.sh"
run_unpacked() {
  as_nobody DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANGUAGE=ja bash -c '
    set -euo pipefail
    root=$1 home=$2
    source "$3"
    cd "$home"
    "$root/usr/bin/ostrel" >stdout.txt 2>stderr.txt &
    pid=$!
    if ! wait_for visible_window "^Ostrel Ver\.1\.4$"; then
      echo "FAIL: no window named Ostrel Ver.1.4" >&2
      cat stderr.txt >&2
      kill -KILL $pid 2>/dev/null || true
      exit 1
    fi
    # The device library in use is the simulated counter from the package,
    # found through the run path, not one from the build tree.
    if ! grep -qF "$root/usr/lib/ostrel/libPexlar.so" /proc/$pid/maps; then
      echo "FAIL: the package'"'"'s simulated counter is not loaded" >&2
      grep -F .so /proc/$pid/maps | grep -i pexlar >&2 || true
      kill -KILL $pid 2>/dev/null || true
      exit 1
    fi
    # Settings without a map or [MQTT]: neither of their libraries.
    if grep -E "/lib(curl|mosquitto)\.so" /proc/$pid/maps >&2; then
      echo "FAIL: libcurl or libmosquitto loaded without a section that needs it" >&2
      kill -KILL $pid 2>/dev/null || true
      exit 1
    fi
    kill -TERM $pid
    wait $pid
  ' _ "$root" "$home" "$work/support.sh"
}
with_display run_unpacked || fail "the unpacked program did not run as expected"

ini=$home/.config/ostrel/ostrel.ini
[[ -f "$ini" ]] || fail "no settings file $ini"
[[ $(stat -c %U "$ini") == nobody ]] || fail "$ini is not the user's own"
diff <(printf '[Graph]\nuSv=0.00158\nBackGround=0\n') <(tr -d '\r' <"$ini") ||
  fail "unexpected settings in $ini"
[[ ! -e "$root/usr/bin/ostrel.ini" ]] || fail "settings written beside the program"
echo "PASS: the package is lintian clean, validates, and runs unpacked as nobody"
