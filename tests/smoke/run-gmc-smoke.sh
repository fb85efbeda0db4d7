#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program with the GMC adapter as its device library, logging a fake
# GMC-320 on a pseudo-terminal, driven from its menu under Xvfb: connect,
# let a few one-second heartbeats arrive, redraw (which writes the line of
# the minute in progress), save as a CSV file, and check the file's lines.
set -euo pipefail
bin=$(cd "$1" && pwd)
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Counts a second the fake sends; every minute's count is a multiple of it.
per_second=7
mkdir -p "$work/app" "$work/home"
cp "$bin/ostrel" "$work/app/"
cp "$bin/adapters/libPexlarGmc.so" "$work/app/libPexlar.so"
cp "$bin/ostrel-fake-gmc" "$work/"

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  work=$1 per_second=$2 smoke=$3
  cd "$work"
  fail() {
    echo "FAIL: $*" >&2
    echo "-- fake counter:" >&2; cat fake.log >&2 || true
    echo "-- program:" >&2; cat app/stderr.txt >&2 || true
    kill -KILL ${app:-} ${fake:-} 2>/dev/null || true
    exit 1
  }
  source "$smoke/support.sh"
  sent_four() { (( $(grep -c "^sent" fake.log || true) >= 4 )); }

  ./ostrel-fake-gmc "$per_second" 120 >port.txt 2>fake.log &
  fake=$!
  wait_for 50 test -s port.txt || fail "the fake counter gave no terminal"
  port=$(head -n 1 port.txt)

  # The adapter finds its port in its environment; its configuration and
  # state files go into a home of their own.
  (cd app && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
     XDG_STATE_HOME="$work/home/.local/state" OSTREL_GMC_PORT="$port" \
     exec ./ostrel >stdout.txt 2>stderr.txt) &
  app=$!
  wait_for 200 xdotool search --name "^Ostrel Ver\.1\.4$" || fail "no main window"
  window=$(xdotool search --name "^Ostrel Ver\.1\.4$" | head -n 1)
  xdotool windowfocus --sync "$window"
  sleep 0.5

  # ロガー(&L) → 接続/開始(&B)
  xdotool key alt+l; sleep 0.3; xdotool key b
  wait_for 200 sent_four || fail "no heartbeats after connecting"

  # ロガー(&L) → グラフ再描画(&G), then ファイル(&F) → 名前をつけて保存(&A)...
  xdotool key alt+l; sleep 0.3; xdotool key g; sleep 0.3
  xdotool key alt+f; sleep 0.3; xdotool key a
  sleep 1.5
  xdotool type --delay 20 "$work/log.csv"
  xdotool key Return
  wait_for 100 test -s log.csv || fail "no log file saved"

  kill -TERM "$app"
  status=0
  wait "$app" || status=$?
  kill -TERM "$fake" 2>/dev/null || true
  [[ $status -eq 0 ]] || fail "the program ended with status $status"
' _ "$work" "$per_second" "$(cd "$(dirname "$0")" && pwd)"

# Every line: today, a minute, a count that is a positive multiple of the
# counts a second; the minutes together hold at least the four seconds
# waited for.
today=$(date +%y/%m/%d)
total=0
lines=0
while IFS= read -r line; do
  line=${line%$'\r'}
  if [[ ! $line =~ ^([0-9]{2}/[0-9]{2}/[0-9]{2}),\ [0-9]{2}:[0-9]{2},\ ([0-9]+)(,\ .*)?$ ]]; then
    echo "FAIL: unexpected line: $line" >&2; cat "$work/log.csv" >&2; exit 1
  fi
  date=${BASH_REMATCH[1]} count=${BASH_REMATCH[2]}
  if [[ $date != "$today" && $date != $(date -d yesterday +%y/%m/%d) ]]; then
    echo "FAIL: line not of today: $line" >&2; exit 1
  fi
  if (( count == 0 || count % per_second != 0 )); then
    echo "FAIL: count $count is not whole seconds of $per_second: $line" >&2; exit 1
  fi
  total=$((total + count)); lines=$((lines + 1))
done <"$work/log.csv"
if (( lines == 0 || total < 4 * per_second )); then
  echo "FAIL: $lines lines holding $total counts" >&2; cat "$work/log.csv" >&2; exit 1
fi
echo "PASS: the program logged $total counts of a fake GMC in $lines minute line(s)"
