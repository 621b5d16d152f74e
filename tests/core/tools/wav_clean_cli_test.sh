#!/usr/bin/env bash
# voxmgctl wav-clean: the WAV and WMA files of chosen boxes go, everything else stays.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

box="$dir/data/office"
mkdir -p "$box/rusuroku/101" "$box/rusuroku/102" "$box/naisen/200" "$box/outou" "$dir/elsewhere"
for f in rusuroku/101/a.wav rusuroku/101/B.WAV rusuroku/101/c.wma rusuroku/101/a.vmdat rusuroku/101/a.vminf \
         rusuroku/102/d.wav naisen/200/e.WMA outou/A001.WAV outou/A001.vmdat; do
    echo x > "$box/$f"
done
echo keep > "$dir/elsewhere/song.wav"
ln -s "$dir/elsewhere/song.wav" "$box/naisen/200/link.wav"
ln -s "$dir/elsewhere" "$box/naisen/201"

"$ctl" wav-clean --root "$dir/data" --folder office --boxes rusuroku/101,naisen/200 > "$dir/out.json"
python3 - "$dir/out.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["summary"] == "ＷＡＶファイルの消去が正常に完了しました。", j
assert j["caption"] == "消去完了"
assert j["deleted"] == 5 and j["failed"] == 0
names = sorted(f["path"].split("/data/office/")[1] for f in j["files"])
assert names == ["naisen/200/e.WMA", "naisen/200/link.wav", "rusuroku/101/B.WAV",
                 "rusuroku/101/a.wav", "rusuroku/101/c.wma"], names
assert all(f["deleted"] for f in j["files"])
PY
[ -f "$box/rusuroku/101/a.vmdat" ] && [ -f "$box/rusuroku/101/a.vminf" ]
[ -f "$box/rusuroku/102/d.wav" ] && [ -f "$box/outou/A001.WAV" ]
[ "$(cat "$dir/elsewhere/song.wav")" = keep ]

# The response folder on its own.
"$ctl" wav-clean --root "$dir/data" --folder office --response > "$dir/out.json"
[ ! -e "$box/outou/A001.WAV" ] && [ -f "$box/outou/A001.vmdat" ]

# A box that is a link out of the box folder is refused: exit 1, nothing behind it touched.
if "$ctl" wav-clean --root "$dir/data" --folder office --boxes naisen/201 > "$dir/out.json"; then exit 1; fi
python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert j["caption"] == "エラー" and j["failed"] == 1, j' "$dir/out.json"
[ "$(cat "$dir/elsewhere/song.wav")" = keep ]

# Usage errors: no choice, both choices, a malformed box, a folder name that leaves the root.
for args in "" "--boxes rusuroku/101 --response" "--boxes 101" "--boxes rusuroku/"; do
    # shellcheck disable=SC2086
    if "$ctl" wav-clean --root "$dir/data" --folder office $args 2>/dev/null; then exit 1; fi
done
if "$ctl" wav-clean --root "$dir/data" --folder .. --response 2>/dev/null; then exit 1; fi
echo "wav-clean cli: ok"
