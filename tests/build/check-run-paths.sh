#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when any program or library under the given folder has a run path
# entry that the dynamic loader would resolve against the current folder: an
# empty entry or a relative one. Entries must be absolute or start at
# $ORIGIN, the binary's own folder.
# Usage: check-run-paths.sh <build>/bin
set -euo pipefail
bin=$(cd "$1" && pwd)

checked=0
bad=0
while IFS= read -r -d '' file; do
  # Only ELF files: the first four bytes are 7F 'E' 'L' 'F'.
  [[ $(head -c 4 "$file" | od -An -tx1 | tr -d ' \n') == 7f454c46 ]] || continue
  checked=$((checked + 1))
  while IFS= read -r line; do
    kind=$(sed -n 's/.*(\(R[A-Z]*PATH\)).*/\1/p' <<<"$line")
    value=$(sed -n 's/.*path: \[\(.*\)\]$/\1/p' <<<"$line")
    # Split by hand: read -a would drop an empty last entry.
    entries=()
    rest=$value
    while :; do
      entries+=("${rest%%:*}")
      [[ $rest == *:* ]] || break
      rest=${rest#*:}
    done
    for entry in "${entries[@]}"; do
      case $entry in
        /* | '$ORIGIN' | '$ORIGIN/'* | '${ORIGIN}' | '${ORIGIN}/'*) ;;
        *)
          echo "${file#"$bin"/}: $kind [$value] has the entry '$entry', searched from the current folder"
          bad=1
          break
          ;;
      esac
    done
  done < <(readelf -d "$file" | grep -E '\((RPATH|RUNPATH)\)' || true)
done < <(find "$bin" -type f \( -perm -u+x -o -name '*.so' -o -name '*.so.*' \) -print0)

if [[ $checked -eq 0 ]]; then
  echo "no ELF file under $bin"
  exit 1
fi
echo "$checked ELF files checked"
exit $bad
