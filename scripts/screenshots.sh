#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshots that the AppStream metainfo shows, from the real
# program of a build on a virtual display, into packaging/screenshots/:
#   main-window.png  the chart while the simulated counter logs
#   log-list.png     the same with the log list shown
# The simulated counter runs 600 times as fast, so that the chart shows over
# an hour of minutes after eight seconds.
# Usage: bash scripts/screenshots.sh [build folder, default build]
# For those who make a release, not for the test suite: it installs
# ImageMagick (for `import`) when missing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$repo/build}/bin" && pwd)
out=$repo/packaging/screenshots
# The size software centres show best (16:9), of the window alone.
width=1280
height=720

missing=()
for p in imagemagick xvfb xauth xdotool x11-utils fonts-ipafont-gothic; do
  [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" == "install ok installed" ]] ||
    missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A folder of its own: the settings file and the journals stay there.
cp "$bin/ostrel" "$bin/libPexlar.so" "$work/"
mkdir -p "$out"

QT_QPA_PLATFORM=xcb XDG_STATE_HOME="$work/state" LC_ALL=C.UTF-8 \
  OSTREL_SIM_SPEED=600 OSTREL_SIM_CPM=30 \
  xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
    set -euo pipefail
    source "$1/tests/smoke/support.sh"
    work=$2 out=$3 width=$4 height=$5
    cd "$work"
    # In the program'"'"'s own Japanese, whatever the desktop'"'"'s language.
    ./ostrel --lang ja >stdout.txt 2>stderr.txt &
    pid=$!
    trap "kill -TERM $pid 2>/dev/null || true" EXIT
    wait_for 200 xdotool search --name "^Ostrel Ver\.1\.4$" ||
      { echo "no main window" >&2; cat stderr.txt >&2; exit 1; }
    window=$(xdotool search --name "^Ostrel Ver\.1\.4$" | head -n 1)
    xdotool windowsize --sync "$window" "$width" "$height"
    xdotool windowmove --sync "$window" 0 0
    xdotool windowfocus --sync "$window"
    # ロガー(&L) → 接続/開始(&B): the simulated counter starts logging.
    xdotool key alt+l; sleep 0.3; xdotool key b
    sleep 8
    import -window "$window" -strip "$out/main-window.png"
    # 設定(&S) → ログを表示(&S)...: the log list.
    xdotool key alt+s; sleep 0.3; xdotool key s
    sleep 2
    import -window "$window" -strip "$out/log-list.png"
  ' _ "$repo" "$work" "$out" "$width" "$height"
file "$out"/*.png
