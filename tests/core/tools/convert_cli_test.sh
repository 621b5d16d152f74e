#!/usr/bin/env bash
# voxmgctl convert on messages downloaded from the simulator: the summary the list shows, one
# entry per file, exit 0 only when every message has its WAV file.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
mkdir -p "$dir/data/本社/outou" "$dir/data/本社/rusuroku/001"
"$ctl" download --host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw" \
    --root "$dir/data" --folder 本社 --boxes rusuroku/001 > "$dir/dl.json"
kill "$simpid"; wait "$simpid" 2>/dev/null || true; simpid=""

box="$dir/data/本社/rusuroku/001"
mapfile -t voice < <(ls "$box"/*.vmdat | head -3)
[ "${#voice[@]}" = 3 ]

check() {
    python3 - "$@" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
summary, caption = sys.argv[2], sys.argv[3]
outcomes = sys.argv[4].split(",")
assert j["summary"] == summary.replace("\\n", "\n"), j
assert j["caption"] == caption, j
assert [f["outcome"] for f in j["files"]] == outcomes, j["files"]
PY
}

"$ctl" convert "${voice[@]}" > "$dir/c1.json"
check "$dir/c1.json" "ＷＡＶファイルへの変換が正常に完了しました。" 変換完了 converted,converted,converted
for v in "${voice[@]}"; do [ -s "${v%.vmdat}.wav" ]; done

# Again: every WAV file is there already, which is a success as well.
"$ctl" convert "${voice[@]}" > "$dir/c2.json"
check "$dir/c2.json" "ＷＡＶファイルへの変換が正常に完了しました。" 変換完了 present,present,present

# A voice file cut after its header cannot be converted: the partial text and exit 1.
cut="$box/209912311200_THU_0001_00001.vmdat"
head -c 1246 "${voice[0]}" > "$cut"
if "$ctl" convert "${voice[1]}" "$cut" --dest "$dir/out" > "$dir/c3.json"; then exit 1; fi
check "$dir/c3.json" "一部の音声メッセージはＷＡＶファイルへ変換\nできませんでした(変換失敗)。" 変換完了 converted,failed
[ -s "$dir/out/$(basename "${voice[1]%.vmdat}").wav" ] && [ ! -e "$dir/out/209912311200_THU_0001_00001.wav" ]

# One missing message is refused before anything runs.
if "$ctl" convert "$box/209912311200_THU_0001_00002.vmdat" > "$dir/c4.json"; then exit 1; fi
check "$dir/c4.json" "音声ファイルは既に消去されています。" エラー refused
