#!/usr/bin/env bash
# voxmgctl import-response and upload against the simulator run as its own process: a WAV file
# into an empty slot, refused over it without --replace, taken with it, then uploaded.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")
outou="$dir/data/本社/outou"
mkdir -p "$outou"
python3 - "$dir/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(5000 * math.sin(i / 5))) for i in range(12000)))
PY
cp "$dir/tone.wav" "$dir/TONE2.WAV"
field() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1], encoding="utf-8"))[sys.argv[2]])' "$@"; }

"$ctl" import-response "$dir/tone.wav" --slot 250 --root "$dir/data" --folder 本社 > "$dir/first.json"
[ "$(field "$dir/first.json" outcome)" = imported ]
first=$(field "$dir/first.json" file)
[ -e "$first" ] && [ -e "${first%.vmdat}.WAV" ]

# Occupied: refused and nothing changed without --replace.
before=$(ls "$outou")
rc=0; "$ctl" import-response "$dir/TONE2.WAV" --slot 250 --root "$dir/data" --folder 本社 > "$dir/taken.json" || rc=$?
[ "$rc" -eq 1 ] && [ "$(field "$dir/taken.json" outcome)" = slot-taken ] && [ "$(ls "$outou")" = "$before" ]
"$ctl" import-response "$dir/TONE2.WAV" --slot 250 --root "$dir/data" --folder 本社 --replace > "$dir/second.json"
second=$(field "$dir/second.json" file)
[ "$(ls "$outou"/*.vmdat)" = "$second" ]

# Up to the main unit: the bytes after the record arrive as they are.
"$ctl" upload "$second" "${conn[@]}" > "$dir/up.json"
python3 - "$dir/up.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["summary"] == {"text": "アップロードが完了しました。", "caption": "アップロード完了"}, j
assert [f["outcome"] for f in j["files"]] == ["uploaded"], j
PY
cmp <(tail -c +991 "$second") "$dir/unit/outou/$(basename "$second")"

# A main unit that answers 226 before it has the data and keeps 100 bytes: no success, and the
# message is not marked as uploaded.
"$sim" --root "$dir/unit" --port 0 --lying-store 100 > "$dir/liar.out" 2>&1 &
liar=$!
trap 'kill "$liar" 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 1 100); do
    grep -q '^listening' "$dir/liar.out" 2>/dev/null && break
    sleep 0.05
done
liarport=$(sed -n 's/^listening [0-9.]*:\([0-9]*\)$/\1/p' "$dir/liar.out")
rm -f "$dir/unit/outou/$(basename "$second")"
rc=0
"$ctl" upload "$second" --host 127.0.0.1 --port "$liarport" --user hozen --password-file "$dir/pw" \
    > "$dir/lied.json" || rc=$?
[ "$rc" -eq 1 ]
python3 - "$dir/lied.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["summary"]["text"] == "通信エラーが発生しました。", j
assert [f["outcome"] for f in j["files"]] == ["communication-error"], j
PY
# The uploaded mark (byte 1 of the record) is clear.
[ "$(od -An -tu1 -j1 -N1 "$second" | tr -d ' ')" = 0 ]

# Two imports at once share the work folder (here voxmgctl's own folder): each message still
# holds its own audio, 1.5 s and 10 s (1000 bytes of frames a second after record and header).
python3 - "$dir/long.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(5000 * math.sin(i / 7))) for i in range(80000)))
PY
for i in 1 2 3 4 5; do
    mkdir -p "$dir/p$i/a/outou" "$dir/q$i/a/outou"
    "$ctl" import-response "$dir/tone.wav" --slot 1 --root "$dir/p$i" --folder a > "$dir/p$i.json" &
    short=$!
    "$ctl" import-response "$dir/long.wav" --slot 1 --root "$dir/q$i" --folder a > "$dir/q$i.json" &
    long=$!
    wait "$short" && wait "$long"
    [ "$(stat -c %s "$(field "$dir/p$i.json" file)")" -eq 2746 ]
    [ "$(stat -c %s "$(field "$dir/q$i.json" file)")" -eq 11246 ]
done
[ -z "$(find "$(dirname "$ctl")" -maxdepth 1 -name 'wave_tmp*')" ]

# Usage errors.
rc=0; "$ctl" import-response "$dir/tone.wav" --root "$dir/data" 2> /dev/null || rc=$?
[ "$rc" -eq 2 ]
echo ok
