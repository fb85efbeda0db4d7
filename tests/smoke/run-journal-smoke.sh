#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The journal of the real program under Xvfb, with the simulated counter at
# 6000 simulated seconds a real second (ten minutes a tick), driven from its
# menu. Each log goes on until its journal holds enough minutes. Each journal
# is compared, by the date, time and count of every line, with what "名前を
# つけて保存(&A)..." wrote at the same moment, once it has as many lines.
#  1. Log, stop, save, then SIGKILL: the newest journal holds the saved records.
#  2. A second run shows that log again by itself, with no key pressed, and
#     says so on stderr; saved, it holds the same records. It logs on, stops
#     and saves: its own journal holds them. New, log, stop, save, "終了(&X)":
#     a second journal holds those, and the first is left as it was.
#  3. A third run, after that Exit, starts empty: the next New leaves the
#     journals as they were.
set -euo pipefail
bin=$(cd "$1" && pwd)
export QT_QPA_PLATFORM=xcb
# The program's own texts, which the script looks for, whatever the desktop's language.
export LANGUAGE=ja
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app"
cp "$bin/ostrel" "$bin/libPexlar.so" "$work/app/"

smoke=$(cd "$(dirname "$0")" && pwd)
source "$smoke/support.sh"

with_display bash -c '
  set -euo pipefail
  work=$1 smoke=$2
  cd "$work"
  journals=$work/state/ostrel/journal
  # The title Qt gives its save dialog.
  save_title="Save As"
  fail() {
    echo "FAIL: $*" >&2
    echo "-- program:" >&2; cat app/stderr.txt >&2 || true
    ls -l "$journals" >&2 || true
    kill -KILL ${app:-} 2>/dev/null || true
    exit 1
  }
  source "$smoke/support.sh"
  start() {
    (cd app && XDG_STATE_HOME="$work/state" OSTREL_SIM_SPEED=6000 \
       exec ./ostrel >stdout.txt 2>stderr.txt) &
    app=$!
    wait_for visible_window "^Ostrel Ver\.1\.4$" || fail "no main window"
    window=$(visible_window "^Ostrel Ver\.1\.4$")
  }
  # menu f a: the item of access key a in the menu of access key f. Without
  # a window manager a closed dialog leaves no window focused. The item
  # needs no wait for its menu: the program takes the keys in order.
  menu() {
    xdotool windowfocus --sync "$window"
    xdotool key "alt+$1" "$2"
  }
  journal_count() { find "$journals" -name "*.csv" 2>/dev/null | wc -l; }
  newest() { find "$journals" -name "*.csv" | sort | tail -n 1; }
  # Whether there are $1 journals and the newest holds $2 lines or more.
  journal_holds() { (($(journal_count) == $1 && $(wc -l <"$(newest)") >= $2)); }
  # Logs until the newest of $1 journals holds $2 lines, then stops.
  log_until() {
    menu l b
    wait_for journal_holds "$1" "$2" || fail "no journal of $2 lines"
    menu l s
  }
  # The file dialog of menu item f $1, titled $3, given the full path $2
  # once it has the focus. Its name field may hold the current file name,
  # which is replaced. Hidden, it may stay a while until the program is
  # done with it.
  in_dialog() {
    menu f "$1"
    wait_for focused "$3" || fail "no dialog $3"
    xdotool key ctrl+a; xdotool type --delay 10 "$2"; xdotool key Return
    wait_for eval "! visible_window \"^$3\$\"" || fail "the dialog $3 stays"
  }
  save_as() { in_dialog a "$1" "$save_title"; wait_for test -s "$1" || fail "nothing saved in $1"; }
  # The journal writes on a thread of its own, after the window.
  caught_up() { (($(wc -l <"$1") >= $(wc -l <"$2"))); }
  records() { tr -d "\r" <"$1" | cut -d, -f1-3; }
  same_records() {
    diff <(records "$1") <(records "$2") >diff.txt ||
      { cat diff.txt >&2; fail "$3: $1 and $2 hold other records"; }
  }

  start
  log_until 1 100
  save_as "$work/killed.csv"
  killed=$(newest)
  wait_for caught_up "$killed" killed.csv || fail "the journal does not catch up"
  kill -KILL "$app"; wait "$app" 2>/dev/null || true
  (( $(journal_count) == 1 )) || fail "$(journal_count) journals after the first run"
  same_records "$killed" killed.csv "after SIGKILL"
  minutes=$(wc -l <killed.csv)
  (( minutes >= 100 )) || fail "only $minutes minutes logged"
  echo "PASS: SIGKILL after $minutes minutes: the journal holds all of them"

  start
  # No key: the killed log comes back by itself, into a journal of its own.
  wait_for journal_holds 2 1 || fail "the killed log was not taken up again"
  grep -qF "ostrel: the last run ended unexpectedly; its $minutes minutes are back from $killed" \
    app/stderr.txt || fail "no line on stderr about the log taken up again"
  save_as "$work/reopened.csv"
  same_records reopened.csv killed.csv "the log taken up again in a second run"
  opened=$(newest)
  log_until 2 $(($(wc -l <reopened.csv) + 50))
  save_as "$work/continued.csv"
  wait_for caught_up "$opened" continued.csv || fail "the journal does not catch up"
  same_records "$opened" continued.csv "after Open and more logging"
  cp "$opened" opened-before-new.csv
  menu f n
  log_until 3 50
  save_as "$work/new.csv"
  menu f x
  status=0; wait "$app" || status=$?
  (( status == 0 )) || fail "Exit ended with status $status"
  (( $(journal_count) == 3 )) || fail "$(journal_count) journals after New and Exit"
  same_records "$(newest)" new.csv "after New and Exit"
  cmp -s "$opened" opened-before-new.csv || fail "New changed the journal of the log it ended"
  echo "PASS: a second run took $(wc -l <reopened.csv) records up again by itself;" \
       "logging on, New and Exit each kept their log in a journal of its own"

  start
  menu f n
  log_until 4 20
  save_as "$work/third.csv"
  wait_for caught_up "$(newest)" third.csv || fail "the journal does not catch up"
  grep -qF "ended unexpectedly" app/stderr.txt && fail "a run after Exit took a log up again"
  same_records "$(newest)" third.csv "a third run after Exit"
  menu f x
  wait "$app" || fail "the third run did not end in order"
  echo "PASS: after Exit the next run started empty"
' _ "$work" "$smoke"
