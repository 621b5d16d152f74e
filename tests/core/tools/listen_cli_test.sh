#!/usr/bin/env bash
# voxmgctl listen on downloaded messages: decoded in memory (no WAV file appears), the
# waveform's peaks, the played-on-PC mark only with --mark, and the rows that cannot play.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")

box="$dir/data/本社/rusuroku/001"
mkdir -p "$box"
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes rusuroku/001 > /dev/null
mapfile -t v < <(ls "$box"/*.vmdat)
[ "${#v[@]}" -ge 2 ]
played() { "$ctl" inspect "$1" | python3 -c 'import json,sys; print(json.load(sys.stdin)[0]["record"]["played"])'; }

"$ctl" listen "${v[0]}" --columns 16 > "$dir/a.json"
"$ctl" listen "${v[1]}" --mark > "$dir/b.json"
rc=0; "$ctl" listen "${v[0]%.vmdat}.vminf" > "$dir/c.json" || rc=$?
[ "$rc" -eq 1 ]
rc=0; "$ctl" listen "$box/gone.vmdat" > "$dir/d.json" || rc=$?
[ "$rc" -eq 1 ]
python3 - "$dir" <<'PY'
import json, sys
d = sys.argv[1]
a, b, c, g = (json.load(open(f"{d}/{n}.json", encoding="utf-8")) for n in "abcd")
assert a["state"] == "ready" and a["length_ms"] > 0 and not a["marked"], a
assert len(a["peaks"]) == 16 and max(a["peaks"]) > 1000, a
assert b["state"] == "ended" and b["marked"], b
assert c == {"state": "info-only", "text": "音声ファイルがダウンロードされていません。", "length_ms": 0, "marked": False}, c
assert g["state"] == "missing" and g["text"] == "音声ファイルは既に消去されています。", g
PY
[ "$(played "${v[0]}")" = 0 ] && [ "$(played "${v[1]}")" = 1 ]
! ls "$box" | grep -q '\.wav$'
echo ok
