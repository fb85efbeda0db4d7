#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program with an adapter as its device library, chosen by name on
# the command line with the port (no link, no variable), logging a fake
# counter on a pseudo-terminal, driven from its menu under Xvfb: connect, let
# a few one-second reports arrive, redraw (which writes the line of the
# minute in progress), save as a CSV file, and check the file's lines.
#
#   run-gmc-smoke.sh <bin folder> [gmc | radpro]
#
# gmc: the GMC adapter and a fake GMC-320 sending heartbeats; radpro: the
# Rad Pro adapter polling a fake Rad Pro counter's pulse count.
set -euo pipefail
bin=$(cd "$1" && pwd)
family=${2:-gmc}
case $family in
  # Nothing outside the program shows when it has read a report: the one
  # after the four that must be counted, a second later, stands for that.
  gmc) library=libPexlarGmc.so fake_program=ostrel-fake-gmc reports=5 ;;
  # Its first pulse count is only the base, and a poll may fall twice into
  # one of the fake's seconds: a few more reports hold at least four seconds.
  # The adapter asks again only once it has read the last answer.
  radpro) library=libPexlarRadPro.so fake_program=ostrel-fake-radpro reports=7 ;;
  *) echo "unknown adapter family $family" >&2; exit 2 ;;
esac
export QT_QPA_PLATFORM=xcb
# The program's own texts, which the script looks for, whatever the desktop's language.
export LANGUAGE=ja
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Counts a second the fake sends; every minute's count is a multiple of it.
per_second=7
mkdir -p "$work/app/adapters" "$work/home"
cp "$bin/ostrel" "$work/app/"
cp "$bin/adapters/$library" "$work/app/adapters/"
cp "$bin/$fake_program" "$work/fake-counter"

smoke=$(cd "$(dirname "$0")" && pwd)
source "$smoke/support.sh"

with_display bash -c '
  set -euo pipefail
  work=$1 per_second=$2 device=$3 reports=$4 smoke=$5
  cd "$work"
  fail() {
    echo "FAIL: $*" >&2
    echo "-- fake counter:" >&2; cat fake.log >&2 || true
    echo "-- program:" >&2; cat app/stderr.txt >&2 || true
    kill -KILL ${app:-} ${fake:-} 2>/dev/null || true
    exit 1
  }
  source "$smoke/support.sh"
  enough_sent() { (( $(grep -c "^sent" fake.log || true) >= reports )); }

  # It outlives every wait of the test, and ends by itself should the test
  # be killed.
  ./fake-counter "$per_second" 900 >port.txt 2>fake.log &
  fake=$!
  wait_for test -s port.txt || fail "the fake counter gave no terminal"
  port=$(head -n 1 port.txt)

  # The adapter and its port named on the command line; its configuration
  # and state files go into a home of their own.
  (cd app && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
     XDG_STATE_HOME="$work/home/.local/state" \
     exec ./ostrel --device "$device" --port "$port" >stdout.txt 2>stderr.txt) &
  app=$!
  wait_for visible_window "^Ostrel Ver\.1\.4$" || fail "no main window"
  xdotool windowfocus --sync "$(visible_window "^Ostrel Ver\.1\.4$")"

  # ロガー(&L) → 接続/開始(&B). The program takes the keys in order, a menu
  # item after its menu.
  xdotool key alt+l b
  wait_for enough_sent || fail "no reports after connecting"

  # ロガー(&L) → グラフ再描画(&G), then ファイル(&F) → 名前をつけて保存(&A)...,
  # whose dialog takes the name once it has the focus.
  xdotool key alt+l g alt+f a
  wait_for focused "Save As" || fail "no Save As dialog"
  xdotool key ctrl+a; xdotool type --delay 20 "$work/log.csv"; xdotool key Return
  wait_for test -s log.csv || fail "no log file saved"

  kill -TERM "$app"
  status=0
  wait "$app" || status=$?
  kill -TERM "$fake" 2>/dev/null || true
  [[ $status -eq 0 ]] || fail "the program ended with status $status"
' _ "$work" "$per_second" "$family" "$reports" "$smoke"

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
echo "PASS: the program logged $total counts of a fake $family counter in $lines minute line(s)"
