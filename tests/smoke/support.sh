# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the smoke tests on their virtual display.

# The tests wait for what they can see happen, never for a set time. This
# limit only ends a run that has already gone wrong, so it leaves room for
# a machine busy with other work.
wait_limit=180

# Waits until the command that follows succeeds.
wait_for() {
  local end=$((SECONDS + wait_limit))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# Runs the command that follows on a virtual display of its own. Xvfb takes
# the first free display number itself and names it only once it accepts
# clients: tests started together never pick the same number, and none
# talks to a server that is not up yet. A server that named its display and
# then answers no client there (seen on a loaded machine) is replaced, at
# most twice.
with_display() {
  local out display xvfb status=0 attempt
  for attempt in 1 2 3; do
    exec {out}< <(exec Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x1024x24 2>/dev/null)
    xvfb=$!
    display=
    if read -r -t "$wait_limit" -u "$out" display &&
       DISPLAY=":$display" xdpyinfo >/dev/null 2>&1; then
      break
    fi
    [[ -n "$display" ]] && echo "NOTE: Xvfb named :$display and answers nothing there" >&2
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    exec {out}<&-
    display=
  done
  if [[ -z "$display" ]]; then
    echo "FAIL: Xvfb did not start" >&2
    return 1
  fi
  (export DISPLAY=":$display" && "$@") || status=$?
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  exec {out}<&-
  return $status
}

# The first visible window named by the regular expression $1, when there is
# one. A window is named before it is mapped, and keys sent to an unmapped
# one are lost.
visible_window() {
  local ids
  ids=$(xdotool search --onlyvisible --name "$1") || return 1
  head -n 1 <<<"$ids"
}

# Whether the window with the keyboard focus is named $1 exactly. Qt
# focuses a new dialog only after the server has mapped it; keys sent
# before then go to the window under it, which the dialog blocks.
focused() {
  [[ $(xdotool getwindowfocus getwindowname 2>/dev/null) == "$1" ]]
}
