# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the smoke tests on their virtual display.

# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq 1 "$tenths"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Runs the command that follows on a virtual display of its own. Xvfb takes
# the first free display number itself and names it only once it accepts
# clients: tests started together never pick the same number, and none
# talks to a server that is not up yet.
with_display() {
  local out display xvfb status=0
  exec {out}< <(exec Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x1024x24 2>/dev/null)
  xvfb=$!
  if ! read -r -t 180 -u "$out" display; then
    echo "FAIL: Xvfb did not start" >&2
    return 1
  fi
  (export DISPLAY=":$display" && "$@") || status=$?
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  exec {out}<&-
  return $status
}
