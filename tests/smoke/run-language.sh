#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The language the program speaks, as main() chooses it: English on a
# desktop set to English, the program's own Japanese on a Japanese one, and
# what --lang asks for whatever the desktop. Read from the menus and the
# chart of the real window (offscreen) by a probe built on the same main.
set -euo pipefail
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A folder of its own, for the settings file the program writes at its end.
cp "$bin/ostrel-menu-probe" "$bin/libPexlar.so" "$work/"
cp -r "$bin/translations" "$work/"
export QT_QPA_PLATFORM=offscreen XDG_STATE_HOME="$work/state"
unset LANGUAGE LC_ALL LC_MESSAGES

english='&File|&New|&Open...|&Save|Save &As...|E&xit
&Logger|Connect / &Begin|Disconnect / &Stop|Redraw &Graph
&Settings|&Hide Log|&Show Log...|&More Settings...
&Analysis|S&tatistics of the Span...|Save Chart as &Image...|&Export CSV...|Export the &Whole Log as CSV...
CPM|µSv/h'
japanese='ファイル(&F)|新規作成(&N)|開く(&O)...|上書き保存(&S)|名前をつけて保存(&A)...|終了(&X)
ロガー(&L)|接続/開始(&B)|切断/停止(&S)|グラフ再描画(&G)
設定(&S)|ログを隠す(&H)|ログを表示(&S)...|各種設定(&M)...
解析(&A)|区間の統計(&T)...|グラフを画像で保存(&I)...|CSVで書き出す(&E)...|全記録をCSVで書き出す(&W)...
CPM|uSv/ h'

failed=0
check() {
  local name=$1 expected=$2; shift 2
  local got
  got=$(cd "$work" && env "$@" 2>"$work/stderr.txt") || true
  if [[ "$got" == "$expected" ]]; then
    echo "PASS: $name"
  else
    echo "FAIL: $name" >&2
    diff <(echo "$expected") <(echo "$got") >&2 || true
    cat "$work/stderr.txt" >&2
    failed=1
  fi
}
check "LANG=en_US.UTF-8" "$english" LANG=en_US.UTF-8 ./ostrel-menu-probe
check "LANG=ja_JP.UTF-8" "$japanese" LANG=ja_JP.UTF-8 ./ostrel-menu-probe
check "LANGUAGE=ja over LANG=en_US.UTF-8" "$japanese" LANGUAGE=ja LANG=en_US.UTF-8 ./ostrel-menu-probe
check "--lang en on a Japanese desktop" "$english" LANG=ja_JP.UTF-8 ./ostrel-menu-probe --lang en
check "--lang ja on an English desktop" "$japanese" LANG=en_US.UTF-8 ./ostrel-menu-probe --lang ja
exit $failed
