#!/usr/bin/env bash
# voxmgctl delete and fetch-voice against the simulator run as its own process: fetch the voice
# of an info-only message, delete one message on the main unit only, one on both sides, one on
# the PC only, and see a refused main-unit-only delete fail.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")

mkdir -p "$dir/data/本社/outou" "$dir/data/本社/naisen/201" "$dir/data/本社/rusuroku/001"
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --info-only > /dev/null
mapfile -t a < <(ls "$dir/data/本社/rusuroku/001"/*.vminf)
mapfile -t b < <(ls "$dir/data/本社/naisen/201"/*.vminf)
[ "${#a[@]}" -ge 3 ] && [ "${#b[@]}" -ge 2 ]
voice() { echo "${1%.vminf}.vmdat"; }
unitfile() { local p; p=$(voice "$1"); echo "$dir/unit/${p#"$dir/data/本社/"}"; }

# The voice of info-only messages arrives beside their recording info; the messages of a box
# with mail recipients go into the mail outbox then, as from the window.
mkdir -p "$dir/mail"
printf '[SERVER]\r\nHOST=localhost\r\n[RECIPIENTS]\r\n本社/rusuroku/001=staff@example.com\r\n' |
    iconv -f UTF-8 -t CP932 > "$dir/mail/VOXMG-mail.ini"
"$ctl" fetch-voice "${a[0]}" "${a[1]}" "${b[0]}" "${conn[@]}" --mail-settings "$dir/mail" > "$dir/fetch.json"
"$ctl" mail-outbox --settings "$dir/mail" > "$dir/outbox.json"
python3 - "$dir/outbox.json" "$(voice "${a[0]}")" "$(voice "${a[1]}")" <<'PY'
import json, sys
jobs = json.load(open(sys.argv[1], encoding="utf-8"))
assert sorted(j["path"] for j in jobs) == sorted(sys.argv[2:]), jobs
PY
python3 - "$dir/fetch.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert [m["text"] for m in j["messages"]] == ["ファイルのダウンロードが正常に完了しました。"], j
assert [f["outcome"] for f in j["files"]] == ["fetched"] * 3, j
PY
cmp <(tail -c +991 "$(voice "${a[0]}")") "$(unitfile "${a[0]}")"

# Main unit only: gone there, kept here.
"$ctl" delete --kind unit "$(voice "${a[0]}")" "${conn[@]}" > "$dir/unit.json"
python3 - "$dir/unit.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["summary"] == {"text": "音声メッセージの消去が正常に完了しました。", "caption": "消去完了"}, j
assert j["files"][0]["outcome"] == "deleted", j
PY
[ ! -e "$(unitfile "${a[0]}")" ] && [ -e "$(voice "${a[0]}")" ]

# An info-only message is refused: the main unit's copy is the only one.
rc=0; "$ctl" delete --kind unit "${b[1]}" "${conn[@]}" > "$dir/refused.json" || rc=$?
[ "$rc" -eq 1 ]
grep -q "not-downloaded" "$dir/refused.json"
[ -e "$(unitfile "${b[1]}")" ]

# Both sides, then the PC only (no connection needed).
"$ctl" delete --kind both "$(voice "${a[1]}")" "${conn[@]}" > /dev/null
[ ! -e "$(unitfile "${a[1]}")" ] && [ ! -e "$(voice "${a[1]}")" ] && [ ! -e "${a[1]}" ]
"$ctl" delete --kind pc "$(voice "${b[0]}")" > /dev/null
[ -e "$(unitfile "${b[0]}")" ] && [ ! -e "$(voice "${b[0]}")" ] && [ ! -e "${b[0]}" ]

# Usage errors.
rc=0; "$ctl" delete --kind all "${a[2]}" 2> /dev/null || rc=$?
[ "$rc" -eq 2 ]
echo ok
