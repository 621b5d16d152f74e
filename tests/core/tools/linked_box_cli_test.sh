#!/usr/bin/env bash
# A box that is a symbolic link to a folder outside its data folder is refused by every verb
# that writes: nothing is written, moved or deleted through it, and the verb says so and exits
# non-zero. A box folder that is itself a link (where the user keeps it) is fine.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")

# The real box folder elsewhere, reached through a link: it works as any other.
mkdir -p "$dir/real/本社/rusuroku/001" "$dir/real/本社/naisen/201" "$dir/real/本社/outou" "$dir/data"
ln -s "$dir/real/本社" "$dir/data/本社"
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes rusuroku/001,naisen/201 > /dev/null
mapfile -t msgs < <(ls "$dir/real/本社/rusuroku/001"/*.vmdat)
[ "${#msgs[@]}" -ge 2 ]

# Box 001 now lies outside: its folder moved away and a link put in its place; and box 202 is
# a link to a folder outside as well.
mv "$dir/real/本社/rusuroku/001" "$dir/outside001"
ln -s "$dir/outside001" "$dir/real/本社/rusuroku/001"
mkdir -p "$dir/outside202"
ln -s "$dir/outside202" "$dir/real/本社/naisen/202"
box="$dir/data/本社"
linked="$box/rusuroku/001/$(basename "${msgs[0]}")"
snapshot() { (cd "$dir" && find outside001 outside202 -printf '%p %s\n' | LC_ALL=C sort); }
before=$(snapshot)

source "$(dirname "$0")/refusal.sh"
refused() { local what="$1"; shift; refusal "$what" any 書き込みできません "$ctl" "$@"; }
refused "move out of a linked box" move --to naisen/201 "$linked"
refused "edit" edit --memo changed "$linked"
refused "convert beside the message" convert "$linked"
refused "delete on the PC" delete --kind pc "$linked"
refused "fetch-voice" fetch-voice "$linked" "${conn[@]}"
[ "$(snapshot)" = "$before" ] || { echo "written through the link:"; diff <(echo "$before") <(snapshot); exit 1; }

# Into a linked box: a copy there, and a download of it, write nothing and fail.
plain=$(ls "$dir/real/本社/naisen/201"/*.vmdat | head -n 1)
rc=0
"$ctl" copy --to naisen/202 "$plain" > "$dir/copy.json" || rc=$?
[ "$rc" -ne 0 ] || { echo "copy into a linked box: exit 0"; exit 1; }
rc=0
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes rusuroku/001 > /dev/null 2>&1 || rc=$?
[ "$rc" -ne 0 ] || { echo "download into a linked box: exit 0"; exit 1; }
# A download of every box passes the linked ones over and fetches the rest.
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 > /dev/null
[ "$(snapshot)" = "$before" ] || { echo "written through the link:"; diff <(echo "$before") <(snapshot); exit 1; }
[ "$(snapshot)" = "$before" ] || { echo "written through the link:"; diff <(echo "$before") <(snapshot); exit 1; }

# A response folder that is a link takes no imported message.
mv "$dir/real/本社/outou" "$dir/outside-outou"
ln -s "$dir/outside-outou" "$dir/real/本社/outou"
outou_before=$(ls -A "$dir/outside-outou")
python3 - "$dir/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i / 3))) for i in range(8000)))
PY
refused "import-response" import-response "$dir/tone.wav" --slot 5 --root "$dir/data" --folder 本社
[ "$(ls -A "$dir/outside-outou")" = "$outou_before" ] || { echo "imported through a linked response folder"; exit 1; }

# The list shows nothing of a linked box.
"$ctl" list --root "$dir/data" --folder 本社 --boxes rusuroku/001 > "$dir/list.json" 2>/dev/null || true
python3 -c 'import json,sys; rows=json.load(open(sys.argv[1]))["rows"]; assert rows == [], rows' "$dir/list.json"
echo "linked box cli: ok"
