#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Holds the include graph to the table of allowed edges in scripts/layers.txt:
# fails when a file includes a folder that its own folder may not use, and
# when a layer's library links other layers than the ones its files include,
# so that the build graph and the include graph stay one.
set -euo pipefail
cd "$(dirname "$0")/.."
table=scripts/layers.txt

declare -A allowed=()
while IFS= read -r line; do
    line=${line%%#*}
    [[ -z "${line// /}" ]] && continue
    folder=${line%%:*}
    folder=${folder// /}
    allowed[$folder]=" ${line#*:} "
done <"$table"

failed=0
complain() {
    echo "layers: $*" >&2
    failed=1
}

for folder in "${!allowed[@]}"; do
    declare -A used=()
    while IFS= read -r file; do
        while IFS= read -r target; do
            [[ -n "${allowed[$target]+x}" && "$target" != "$folder" ]] || continue
            used[$target]=1
            if [[ "${allowed[$folder]}" != *" $target "* ]]; then
                complain "$file includes $target/, which $folder/ may not use"
            fi
        done < <(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)/.*|\1|p' "$file")
    done < <(git ls-files -- "$folder/*.cpp" "$folder/*.h")

    # The layer's own library, where the folder makes one, links exactly
    # the layers its files include.
    cmake_file="$folder/CMakeLists.txt"
    if [[ -f "$cmake_file" ]] && grep -q "ostrel_layer(" "$cmake_file"; then
        linked=$(tr '\n' ' ' <"$cmake_file" | sed -n 's/.*ostrel_layer(\([^)]*\)).*/\1/p' |
                 { grep -o 'ostrel_[a-z_]*' || true; } | sed 's/^ostrel_//' | sort -u | tr '\n' ' ')
        included=$(printf '%s\n' "${!used[@]}" | sed '/^$/d' | sort -u | tr '\n' ' ')
        if [[ "$linked" != "$included" ]]; then
            complain "$cmake_file links [ ${linked}] but $folder/ includes [ ${included}]"
        fi
    fi
    unset used
done

if [[ $failed -ne 0 ]]; then
    echo "layers: the allowed edges are in $table" >&2
    exit 1
fi
echo "layers: every include follows $table"
