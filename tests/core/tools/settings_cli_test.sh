#!/usr/bin/env bash
# voxmgctl settings show/save on a file as the Windows program writes it.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# CP932 with CRLF, a Japanese folder name and out-of-range values.
printf '[LOGIN]\r\nIP=192.168.1.10\r\nUSER=hozen\r\nPASS=pw\r\nCHECK=1\r\n[DISP]\r\nFOLDERNAME=\x96\x7b\x8e\xd0\r\nNUM=-2\r\n[BACKUP]\r\nRETRYCNT=0\r\nRETRYWAIT=500\r\n[naisen]\r\n201=1\r\n' > "$dir/in.ini"

"$ctl" settings show "$dir/in.ini" > "$dir/show.json"
python3 - "$dir/show.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["LOGIN"]["IP"] == "192.168.1.10", j["LOGIN"]
assert j["LOGIN"]["PASS"] == "set", j["LOGIN"]  # whether one is kept, never the password
assert j["DISP"]["FOLDERNAME"] == "本社", j["DISP"]["FOLDERNAME"]
assert j["DISP"]["NUM"] == 0
assert j["BACKUP"]["RETRYCNT"] == 1 and j["BACKUP"]["RETRYWAIT"] == 10000
assert "PORT" not in j["LOGIN"]
assert list(j)[0] == "LOGIN" and list(j)[-1] == "WavSave"
PY

# Saving into a new file creates it private (it holds the password) in CP932 with CRLF.
"$ctl" settings save "$dir/in.ini" "$dir/new.ini"
[ "$(stat -c %a "$dir/new.ini")" = 600 ]
grep -q $'^FOLDERNAME=\x96\x7b\x8e\xd0\r$' "$dir/new.ini"
grep -q $'^RETRYCNT=1\r$' "$dir/new.ini"
grep -q $'^PASS=pw\r$' "$dir/new.ini"

# Saving over the original keeps the sections the settings block does not own.
cp "$dir/in.ini" "$dir/same.ini"
"$ctl" settings save "$dir/in.ini" "$dir/same.ini"
grep -q $'^201=1\r$' "$dir/same.ini"
"$ctl" settings show "$dir/same.ini" > /dev/null

# A missing input gives the defaults; a bad command is refused.
"$ctl" settings show "$dir/missing.ini" | python3 -c 'import json,sys; assert json.load(sys.stdin)["BACKUP"]["RETRYCNT"] == 3'
if "$ctl" settings bogus 2>/dev/null; then exit 1; fi
echo "settings cli: ok"
