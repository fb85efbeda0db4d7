#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program under Xvfb, twice: with the simulated counter it
# shows its window and ends cleanly on a termination request, writing its
# settings file; without the device library it says so, ends, and still
# writes the settings file.
set -euo pipefail
bin=$(cd "$1" && pwd)
# The real window system of the virtual display, whatever the suite uses.
export QT_QPA_PLATFORM=xcb
# The program's own texts, which the script looks for, whatever the desktop's language.
export LANGUAGE=ja
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Journals go into the test's folder, never the user's own.
export XDG_STATE_HOME="$work/state"

source "$(dirname "$0")/support.sh"

# Runs ./ostrel in $1, waits for a window whose name matches $2, then asks
# the program to end and returns its exit status. It handles termination
# requests from before it makes any window, so none needs to wait longer.
run_case() {
  local dir=$1 title=$2
  cd "$dir"
  ./ostrel >stdout.txt 2>stderr.txt &
  local pid=$! status=0
  if ! wait_for visible_window "^$title\$"; then
    echo "no window named $title appeared" >&2
    xwininfo -root -tree >&2 || true
    kill -KILL $pid 2>/dev/null || true
    return 3
  fi
  kill -TERM $pid
  wait $pid || status=$?
  return $status
}

expect_settings() {
  local ini=$1
  [[ -f "$ini" ]] || { echo "FAIL: no settings file $ini" >&2; exit 1; }
  tr -d '\r' <"$ini" >"$ini.lf"
  if ! diff <(printf '[Graph]\nuSv=0.00158\nBackGround=0\n') "$ini.lf"; then
    echo "FAIL: unexpected settings file content" >&2
    exit 1
  fi
}

failed=0

mkdir -p "$work/with"
cp "$bin/ostrel" "$bin/libPexlar.so" "$work/with/"
if with_display run_case "$work/with" "Ostrel Ver\\.1\\.4"; then
  expect_settings "$work/with/ostrel.ini"
  echo "PASS: starts with the simulated counter, shows its window, ends cleanly"
else
  echo "FAIL: with the simulated counter (status $?)"; cat "$work/with/stderr.txt" >&2; failed=1
fi

mkdir -p "$work/without"
cp "$bin/ostrel" "$work/without/"
if with_display run_case "$work/without" "エラー"; then
  expect_settings "$work/without/ostrel.ini"
  echo "PASS: without the device library it reports it and ends, writing its settings"
else
  echo "FAIL: without the device library (status $?)"; cat "$work/without/stderr.txt" >&2; failed=1
fi

exit $failed
