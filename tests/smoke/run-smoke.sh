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
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Journals go into the test's folder, never the user's own.
export XDG_STATE_HOME="$work/state"

source "$(dirname "$0")/support.sh"

# Runs ./ostrel in $1 under a virtual display, waits for a window whose
# name is $2, then asks the program to end and returns its exit status.
run_case() {
  local dir=$1 title=$2
  with_display bash -c '
    cd "$1"
    ./ostrel >stdout.txt 2>stderr.txt &
    pid=$!
    for _ in $(seq 1 200); do
      if xwininfo -root -tree 2>/dev/null | grep -qF "\"$2\""; then
        found=1
        break
      fi
      sleep 0.1
    done
    if [[ -z "${found:-}" ]]; then
      echo "no window named $2 appeared" >&2
      xwininfo -root -tree >&2 || true
      kill -KILL $pid 2>/dev/null || true
      exit 3
    fi
    sleep 0.5
    kill -TERM $pid
    status=0
    wait $pid || status=$?
    exit $status
  ' _ "$dir" "$title"
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
if run_case "$work/with" "Ostrel Ver.1.4"; then
  expect_settings "$work/with/ostrel.ini"
  echo "PASS: starts with the simulated counter, shows its window, ends cleanly"
else
  echo "FAIL: with the simulated counter (status $?)"; cat "$work/with/stderr.txt" >&2; failed=1
fi

mkdir -p "$work/without"
cp "$bin/ostrel" "$work/without/"
if run_case "$work/without" "エラー"; then
  expect_settings "$work/without/ostrel.ini"
  echo "PASS: without the device library it reports it and ends, writing its settings"
else
  echo "FAIL: without the device library (status $?)"; cat "$work/without/stderr.txt" >&2; failed=1
fi

exit $failed
