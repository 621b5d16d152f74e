#!/usr/bin/env bash
# voxmgctl edit: recording info of a box message and of a response message.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# Message files written byte by byte: the 990-byte record (UTF-16LE texts), the main unit
# header with its model text, then 20 bytes of frames.
python3 - "$dir" <<'PY'
import os, sys
root = sys.argv[1]
def record(box_number=""):
    r = bytearray(990)
    r[2] = 2
    def put(at, s):
        b = s.encode("utf-16-le"); r[at:at + len(b)] = b
    put(4, box_number); put(168, "2026/12/06 13:05"); put(208, "00:00:05"); put(226, "旧題")
    return r
def header(number=0):
    h = bytearray(256)
    h[0:16] = b"Zu-QX Voice-data"
    if number:
        h[134:136] = number.to_bytes(2, "big"); h[138:141] = b"%03d" % number
    return h
os.makedirs(f"{root}/本社/rusuroku/0101"); os.makedirs(f"{root}/本社/outou")
open(f"{root}/本社/rusuroku/0101/202612061300_SUN_0101_00001.vmdat", "wb").write(record() + header() + b"Z" * 20)
open(f"{root}/本社/outou/202612061305_SUN_A007_0000.vmdat", "wb").write(record("007") + header(7) + b"Z" * 20)
open(f"{root}/本社/outou/202612061305_SUN_A007_0000.WAV", "wb").write(b"wav")
PY
box="$dir/本社/rusuroku/0101/202612061300_SUN_0101_00001.vmdat"
cp "$box" "$dir/before"

# Refused inputs exit non-zero with the dialog's text and change nothing.
for args in "--title 一二三四五六七八九十一二三四五六七八九十一" "--memo a,b" "--flag 2" "--name x"; do
    # shellcheck disable=SC2086
    if "$ctl" edit "$box" $args > /dev/null 2> "$dir/err"; then exit 1; fi
    cmp "$box" "$dir/before"
done
"$ctl" edit "$box" --title a,b 2> "$dir/err" > /dev/null || true
grep -q '入力値エラーです。' "$dir/err"

"$ctl" edit "$box" --title 一二三四五六七八九十一二三四五六七八九十 --caller-name 山田 --protect 1 --flag 1 \
    > "$dir/box.json"
python3 - "$dir/box.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
r = j["record"]
assert r["title"] == "一二三四五六七八九十" * 2, r
assert r["caller_name"] == "山田" and r["protect"] == 1 and r["flags"] == 1, r
assert r["length"] == "00:00:05" and r["state"] == 2, r
PY
cmp -i 990 "$box" "$dir/before"

# A response message gets its new name, and so does its WAV file.
resp="$dir/本社/outou/202612061305_SUN_A007_0000.vmdat"
"$ctl" edit "$resp" --name 夜間 > "$dir/resp.json"
new=$(python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert j["record"]["caller_name"]=="夜間"; print(j["path"])' "$dir/resp.json")
[ ! -e "$resp" ] && [ -f "$new" ]
case "$(basename "$new")" in ????????????_[A-Z][A-Z][A-Z]_A007_0000.vmdat) ;; *) exit 1 ;; esac
[ -f "${new%.vmdat}.WAV" ]
"$ctl" inspect "$new" | python3 -c 'import json,sys; e=json.load(sys.stdin)[0]; assert e["valid"] and e["header"]["caller_name"]=="夜間", e'
echo "lists cli: ok"
