#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# ostrel.exe from the Windows zip, unpacked into a Wine prefix, driven from
# its menu on a virtual display as a Windows user would:
#  1. "接続/開始(&B)" logs the simulated counter replaying three hours of
#     readings; the journal under %LOCALAPPDATA%\Ostrel\journal\ holds them.
#     A screenshot of the window (chart, log list, menu) goes to $2.
#  2. "名前をつけて保存(&A)..." writes the minutes byte for byte as the
#     Linux build writes them for the same readings; "新規作成(&N)",
#     "開く(&O)..." and a second save give the same minutes again.
#  3. "終了(&X)" ends it with status 0 and writes ostrel.ini beside
#     ostrel.exe.
#  4. ostrel-headless.exe reads the settings file that --config names in
#     a folder of Japanese letters, and ends in order on Ctrl+C.
# Usage: run-wine-smoke.sh <the unpacked folder inside $WINEPREFIX> <output folder>
#          <the Linux build's bin folder, with ostrel-headless and libPexlar.so>
set -euo pipefail
app=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
linux_bin=$(cd "$3" && pwd)
smoke=$(cd "$(dirname "$0")" && pwd)
source "$smoke/support.sh"
: "${WINEPREFIX:?the Wine prefix that holds the program}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Three hours and a minute of readings, two a minute: 180 finished
# minutes, and one still open when the replay ends.
awk 'BEGIN {
  for (m = 0; m < 181; m++) {
    h = 9 + int(m / 60); mm = m % 60
    printf "2011-07-16 %02d:%02d:10.000 %d\n", h, mm, 10 + (m * 7) % 23
    printf "2011-07-16 %02d:%02d:40.000 %d\n", h, mm, 5 + (m * 11) % 17
  }
}' >"$work/readings.txt"
minutes=180

# What the Linux build makes of the same readings: the journal of its
# logger without a window, which holds what Save As writes.
mkdir -p "$work/linux"
cp "$linux_bin/ostrel-headless" "$linux_bin/libPexlar.so" "$work/linux/"
(cd "$work/linux" && XDG_STATE_HOME="$work/linux/state" OSTREL_SIM_SCRIPT="$work/readings.txt" \
   exec ./ostrel-headless >stdout.txt 2>stderr.txt) &
headless=$!
linux_journal() { find "$work/linux/state" -name "*.csv" | grep -m 1 .; }
linux_done() { local j; j=$(linux_journal) && (($(wc -l <"$j") >= minutes)); }
if ! wait_for linux_done; then
  kill -KILL "$headless" 2>/dev/null || true
  echo "FAIL: the Linux build logged no $minutes minutes" >&2
  cat "$work/linux/stderr.txt" >&2
  exit 1
fi
kill -TERM "$headless"
wait "$headless" || { echo "FAIL: the Linux build did not end in order" >&2; exit 1; }
cp "$(linux_journal)" "$work/expected.csv"

# Wine's Windows paths of the files the program is given.
winpath() { winepath -w "$1" 2>/dev/null; }
journals=$(find "$WINEPREFIX/drive_c/users" -maxdepth 1 -mindepth 1 -type d ! -name Public |
           head -n 1)/AppData/Local/Ostrel/journal

with_display bash -c '
  set -euo pipefail
  app=$1 out=$2 work=$3 smoke=$4 journals=$5 minutes=$6
  source "$smoke/support.sh"
  winpath() { winepath -w "$1" 2>/dev/null; }
  fail() {
    echo "FAIL: $*" >&2
    echo "-- program:" >&2; cat "$work/stderr.txt" >&2 || true
    import -window root "$out/ostrel-wine-failed.png" 2>/dev/null || true
    cp "$work"/*.csv "$out/" 2>/dev/null || true
    kill -KILL ${pid:-} 2>/dev/null || true
    exit 1
  }
  # Any other step that fails says which one it was.
  trap '"'"'fail "line $LINENO: $BASH_COMMAND"'"'"' ERR
  (cd "$app" && OSTREL_SIM_SCRIPT="$(winpath "$work/readings.txt")" \
     exec wine ostrel.exe --lang ja >"$work/stdout.txt" 2>"$work/stderr.txt") &
  pid=$!
  wait_for visible_window "^Ostrel Ver\.1\.4$" || fail "no main window"
  window=$(visible_window "^Ostrel Ver\.1\.4$")
  # Room for the chart and the log list in the screenshot.
  timeout 10 xdotool windowmove "$window" 0 0 windowsize "$window" 1200 800 || true
  # A loaded machine can keep Wine from taking the focus within the wait of
  # one xdotool call: it is tried again until the limit.
  menu() {
    wait_for xdotool windowfocus --sync "$window" || fail "the main window takes no focus (menu $1 $2)"
    xdotool key "alt+$1" "$2"
  }
  newest() { find "$journals" -name "*.csv" 2>/dev/null | sort | tail -n 1; }
  journal_holds() { local j; j=$(newest) && [[ -n "$j" ]] && (($(wc -l <"$j") >= $1)); }
  # The save and open dialogs are Windows'"'"' own (Wine'"'"'s), a window with
  # no name: the one that was not there before. Its file name field has the
  # focus, and takes a full path.
  windows() { xdotool search --onlyvisible --name "" 2>/dev/null | sort; }
  new_window() { comm -13 <(echo "$before") <(windows) | grep -m 1 .; }
  shown() { windows | grep -qx "$1"; }
  in_dialog() { # item path
    before=$(windows)
    menu f "$1"
    wait_for new_window || fail "no dialog for menu item $1"
    local dialog; dialog=$(new_window)
    xdotool windowfocus "$dialog" 2>/dev/null || true
    # Whatever name the field holds is replaced (ctrl+a does not select all
    # there).
    xdotool key End shift+Home Delete; xdotool type --delay 20 "$2"; xdotool key Return
    wait_for eval "! shown $dialog" || fail "the dialog of menu item $1 stays"
  }
  menu l b
  wait_for journal_holds "$minutes" || fail "the journal holds no $minutes minutes"
  echo "PASS: logged; the journal $(basename "$(newest)") holds $(wc -l <"$(newest)") minutes"
  # ログを表示: the log list beside the chart, for the screenshot.
  menu s s
  sleep 3
  import -window root -strip "$out/ostrel-wine.png"
  menu l s

  in_dialog a "$(winpath "$work")\\saved.csv"
  wait_for test -s "$work/saved.csv" || fail "nothing saved"
  cmp "$work/saved.csv" "$work/expected.csv" || fail "the saved file differs from the Linux build'"'"'s"
  menu f n
  in_dialog o "$(winpath "$work")\\saved.csv"
  in_dialog a "$(winpath "$work")\\again.csv"
  wait_for test -s "$work/again.csv" || fail "nothing saved after Open"
  # An opened log'"'"'s dose rates are those of the ten minutes before each
  # line, a live line'"'"'s include its own minute: the minutes and counts
  # are the same.
  records() { tr -d "\r" <"$1" | cut -d, -f1-3; }
  diff <(records "$work/again.csv") <(records "$work/expected.csv") >/dev/null ||
    fail "Open and Save As changed the minutes"
  echo "PASS: Save As wrote the $minutes minutes byte for byte as the Linux build;" \
       "Open and Save As again kept them"

  menu f x
  status=0; wait "$pid" || status=$?
  ((status == 0)) || fail "Exit ended with status $status"
  grep -q "^\[Graph\]" "$app/ostrel.ini" || fail "no ostrel.ini beside ostrel.exe"
  echo "PASS: Exit ended with status 0 and wrote ostrel.ini beside ostrel.exe"
' _ "$app" "$out" "$work" "$smoke" "$journals" "$minutes"

# ostrel-headless.exe in a console, given a settings file in a folder with
# a Japanese name (read from the wide command line: the ANSI code page
# cannot hold the name) whose coefficient makes each dose rate the mean
# count: Ctrl+C (Wine makes SIGINT the console's Ctrl+C) then ends it in
# order, as SIGTERM does on Linux: status 0, and no marker of a run that
# ended otherwise left in its journal folder.
mkdir -p "$app/設定"
printf '[Graph]\r\nuSv=1\r\n' >"$app/設定/station.ini"
config=$(winpath "$app/設定/station.ini")
(cd "$app" && LC_ALL=C.UTF-8 OSTREL_SIM_SPEED=60 exec wine ostrel-headless.exe --config "$config" \
   >"$work/headless.txt" 2>"$work/headless-stderr.txt") &
pid=$!
logged_eleven() { (($(wc -l <"$work/headless.txt") >= 11)); }
if ! wait_for logged_eleven; then
  kill -KILL "$pid" 2>/dev/null || true
  echo "FAIL: ostrel-headless.exe logged no 11 minutes" >&2
  cat "$work/headless-stderr.txt" >&2
  exit 1
fi
kill -INT "$pid"
status=0; wait "$pid" || status=$?
rate=$(sed -n 11p "$work/headless.txt" | cut -d, -f4)
if ! awk -v r="$rate" 'BEGIN { exit !(r + 0 > 1) }'; then
  echo "FAIL: the 11th minute's dose rate is \"$rate\", not the mean count of $config" >&2
  exit 1
fi
left=$(find "$(dirname "$journals")" -name running)
if ((status != 0)) || [[ -n "$left" ]]; then
  echo "FAIL: Ctrl+C ended ostrel-headless.exe with status $status; left: $left" >&2
  exit 1
fi
echo "PASS: ostrel-headless.exe read $config and ended in order on Ctrl+C"
