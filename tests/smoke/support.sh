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
