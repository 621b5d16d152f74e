#!/usr/bin/env bash
# voxmgctl against the simulator run as its own process, as an administrator would use it:
# log in, list, fetch, download a box folder, inspect and load what arrived, convert to WAV.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
echo wrong > "$dir/bad"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")

[ "$("$ctl" login "${conn[@]}")" = 0 ]
[ "$("$ctl" login --host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/bad" || true)" = 2 ]

"$ctl" boxes "${conn[@]}" > "$dir/boxes.json"
python3 - "$dir/boxes.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
text = json.dumps(j, ensure_ascii=False)
assert "201" in text and "001" in text, text
PY

# A box folder as the program lays it out, then a headless bulk download into it.
mkdir -p "$dir/data/本社/outou"
for b in $(ls "$dir/unit/rusuroku"); do mkdir -p "$dir/data/本社/rusuroku/$b"; done
for b in $(ls "$dir/unit/naisen"); do mkdir -p "$dir/data/本社/naisen/$b"; done
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 > "$dir/dl.json"
python3 - "$dir/dl.json" "$dir/unit" <<'PY'
import json, os, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["result"] == 0, j
assert [m["text"] for m in j["messages"]] == ["ファイルのダウンロードが正常に完了しました。"], j["messages"]
unit = sys.argv[2]
files = sum(len(fs) for _, _, fs in os.walk(os.path.join(unit, "rusuroku"))) + \
        sum(len(fs) for _, _, fs in os.walk(os.path.join(unit, "naisen")))
assert j["handled"] * 2 >= files, (j["handled"], files)
PY

# What arrived: every message file has its record in front of the main unit's header.
box="$dir/data/本社/rusuroku/001"
"$ctl" load-box "$box" > "$dir/load.json"
first=$(ls "$box"/*.vmdat | head -1)
"$ctl" inspect "$first" > "$dir/inspect.json"
python3 - "$dir/load.json" "$dir/inspect.json" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1], encoding="utf-8"))
assert len(rows) >= 1 and all(r["path"].endswith(".vmdat") for r in rows), rows
info = json.load(open(sys.argv[2], encoding="utf-8"))[0]
assert info["valid"] is True, info
assert info["header"]["model"].startswith("Zu-QX"), info["header"]
assert info["record"]["state"] in (1, 2), info["record"]
PY

# A second run fetches nothing new and still succeeds.
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes rusuroku/001 > "$dir/again.json"
python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert j["result"] == 0, j' "$dir/again.json"

# A chosen box the box folder does not have is named, not taken for a full disk.
if "$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes naisen/999 > /dev/null 2> "$dir/err.txt"; then
    exit 1
fi
grep -q "has no folder naisen/999" "$dir/err.txt"
! grep -q "メモリ不足" "$dir/err.txt"

# The voice converts to a WAV of 8 kHz 16-bit mono.
"$ctl" to-wav "$first" "$dir/out.wav"
python3 - "$dir/out.wav" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:4] == b"RIFF" and data[8:12] == b"WAVE"
channels, rate = struct.unpack("<HI", data[22:28])
assert (channels, rate) == (1, 8000), (channels, rate)
assert len(data) > 44
PY

# A retrieval never leaves the local folder.
if "$ctl" get "${conn[@]}" "/rusuroku/001/../../../etc/passwd" "$dir/data" >/dev/null 2>&1; then
    [ ! -e "$dir/passwd" ] && [ ! -e "$dir/data/passwd" ]
fi
echo "main unit cli: ok"
