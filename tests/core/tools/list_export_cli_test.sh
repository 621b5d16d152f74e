#!/usr/bin/env bash
# voxmgctl list and export-csv: the rows a list window shows, filtered, and its CSV file.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# Three messages of box 0101 and one of extension box 0201, written byte by byte: the 990-byte
# record (UTF-16LE texts), the main unit header with its model text, then 20 bytes of frames.
python3 - "$dir" <<'PY'
import os, sys
root = sys.argv[1]
def message(path, name, state, date, flag=0):
    r = bytearray(990)
    r[0] = flag; r[2] = state
    def put(at, s):
        b = s.encode("utf-16-le"); r[at:at + len(b)] = b
    put(102, name); put(168, date); put(208, "00:00:05")
    h = bytearray(256); h[0:16] = b"Zu-QX Voice-data"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb").write(r + h + b"Z" * 20)
box = f"{root}/本社/rusuroku/0101"
message(f"{box}/202612061300_SUN_0101_00001.vmdat", "山田", 2, "2026/12/06 13:00")
message(f"{box}/202612071300_MON_0101_00002.vmdat", "佐藤,花子", 1, "2026/12/07 13:00", 1)
message(f"{box}/202612081300_TUE_0101_00003.vmdat", "山本", 3, "2026/12/08 13:00")
message(f"{root}/本社/naisen/0201/202612061300_SUN_0201_00001.vmdat", "鈴木", 2, "2026/12/06 13:00")
open(f"{root}/VOXMG.ini", "wb").write("[DISP]\r\nCOLUM1=相手名称\r\nCOLUM2=ﾌﾗｸﾞ\r\nCOLUM3=取込\r\n".encode("cp932"))
PY
sel=(--root "$dir" --folder 本社 --boxes rusuroku/0101,naisen/0201)

# The default order: newest first inside each box, boxes by number.
"$ctl" list "${sel[@]}" --ini "$dir/VOXMG.ini" > "$dir/all.json"
python3 - "$dir/all.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["columns"] == ["相手名称", "ﾌﾗｸﾞ", "取込"], j
assert [r[0] for r in j["rows"]] == ["山本", "佐藤,花子", "山田", "鈴木"], j
assert j["box_total"] == 4 and j["list_total"] == 4 and not j["filtered"], j
PY

# Several filters combine; "%" patterns; no match leaves every row with the window's text.
"$ctl" list "${sel[@]}" --filter caller_name=山% --filter date=2026/12/01..2026/12/07 > "$dir/f.json"
python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert [r[6] for r in j["rows"]]==["山田"] and j["filtered"], j' "$dir/f.json"
"$ctl" list "${sel[@]}" --filter caller_name=高橋 > "$dir/none.json" 2> "$dir/err"
grep -q '該当するメッセージがありません。' "$dir/err"
python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert j["list_total"]==4, j' "$dir/none.json"

# What the dialog refuses exits 1 with its text; unknown fields are usage errors.
for bad in "date=2026/12/08..2026/12/01:日付範囲指定に異常があります。" "box_number=０１:入力値エラーです。"; do
    if "$ctl" list "${sel[@]}" --filter "${bad%%:*}" > /dev/null 2> "$dir/err"; then exit 1; fi
    grep -q "${bad#*:}" "$dir/err"
done
set +e
"$ctl" list "${sel[@]}" --filter colour=red > /dev/null 2>&1; [ $? -eq 2 ] || exit 1
"$ctl" list --root "$dir" --folder 本社 --response --filter memo=x > /dev/null 2>&1; [ $? -eq 2 ] || exit 1
set -e

# The export: CP932, LF, the flag and state conversions, a quoted cell; no overwrite unasked.
"$ctl" export-csv "${sel[@]}" --ini "$dir/VOXMG.ini" --filter state=1 "$dir/out.csv" > /dev/null
printf '相手名称,ﾌﾗｸﾞ,取込\n"佐藤,花子",ﾌﾗｸﾞ,情報+音声(再生済)\n山田,,情報+音声(未再生)\n鈴木,,情報+音声(未再生)\n' \
    | iconv -f UTF-8 -t CP932 > "$dir/expected.csv"
cmp "$dir/out.csv" "$dir/expected.csv"
if "$ctl" export-csv "${sel[@]}" "$dir/out.csv" > /dev/null 2>&1; then exit 1; fi
cmp "$dir/out.csv" "$dir/expected.csv"
if "$ctl" export-csv "${sel[@]}" "$dir/out.CSV" > /dev/null 2> "$dir/err"; then exit 1; fi
# The reason, as the dialog gives it: the lower-case ".csv" is what the export takes.
grep -q 'ファイル名の拡張子は「.csv」にしてください。' "$dir/err"
[ ! -e "$dir/out.CSV" ]
"$ctl" export-csv --root "$dir" --folder 本社 --response --overwrite "$dir/out.csv" > /dev/null
[ "$(wc -l < "$dir/out.csv")" -eq 301 ]
echo "list/export cli: ok"
