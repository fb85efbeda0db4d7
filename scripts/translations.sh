#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The translation files of the program's texts, i18n/ostrel_<language>.ts,
# gathered by lupdate from every text the code marks with OSTREL_TR or tr().
#
#   scripts/translations.sh          update the files (new texts come in
#                                    unfinished, for a translator to finish)
#   scripts/translations.sh --check  fail when a text has no finished
#                                    translation or a file is out of date
set -euo pipefail
cd "$(dirname "$0")/.."
# Qt 6's own; a bare lupdate may be an older Qt's.
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
# The folders of the program itself, as the layers table lists them; the
# device libraries (and their kit), benchmarks and fuzz targets show no
# text of the program's.
mapfile -t folders < <(sed -n 's/^\([a-z]*\):.*/\1/p' scripts/layers.txt |
                       grep -vx -e device -e sim -e adapters -e bench -e fuzz)

update() {
  "$lupdate" -silent -tr-function-alias QT_TRANSLATE_NOOP+=OSTREL_TR -source-language ja \
    -target-language "$2" -locations none -no-obsolete -extensions cpp,h "${folders[@]}" \
    -ts "$1"
}

status=0
for ts in i18n/ostrel_*.ts; do
  language=$(basename "$ts" .ts); language=${language#ostrel_}
  if [[ "${1:-}" != --check ]]; then
    update "$ts" "$language"
    continue
  fi
  fresh=$(mktemp --suffix=.ts)
  cp "$ts" "$fresh"
  update "$fresh" "$language"
  if grep -q 'type="unfinished"' "$fresh"; then
    echo "FAIL: texts without a finished $language translation (run scripts/translations.sh and translate them in $ts):" >&2
    grep -B1 'type="unfinished"' "$fresh" | grep '<source>' >&2
    status=1
  elif ! cmp -s "$ts" "$fresh"; then
    echo "FAIL: $ts is out of date (run scripts/translations.sh):" >&2
    diff "$ts" "$fresh" >&2 || true
    status=1
  fi
  rm -f "$fresh"
done
exit $status
