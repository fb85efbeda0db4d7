#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the benchmarks of a Release build folder (build-bench unless given)
# and writes their table to bench/results.txt as well as to the terminal.
# `make bench` builds the folder first. Arguments after the folder go to
# ostrel-bench (--soak, --large, --only PART, --quick): `make bench
# BENCH_FLAGS="--soak --large"` gives them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-bench}
shift || true
[[ "$build" = /* ]] || build="$root/$build"
bench="$build/bin/ostrel-bench"
if [[ ! -x "$bench" ]]; then
  echo "no $bench: configure $build with -DOSTREL_BENCH=ON and build it first" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen
export LC_ALL=C.UTF-8
made=()
trap 'rm -rf "${made[@]}"' EXIT
# Qt complains on every start without a runtime folder; the start-up figures
# should not include that complaint.
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  made+=("$XDG_RUNTIME_DIR")
fi
# The start-up probe starts the program as it is installed: its journals go
# into a folder of their own, not the user's.
XDG_STATE_HOME=$(mktemp -d)
export XDG_STATE_HOME
made+=("$XDG_STATE_HOME")
"$bench" "$@" --out "$root/bench/results.txt"
