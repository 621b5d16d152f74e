#!/usr/bin/env bash
# Settings that cannot be used are told, naming the file, and nothing aborts: a folder where a
# settings file belongs, and mail settings without a server or recipients, which keep the
# waiting mails waiting (not failed for good) until the settings work. Paths that are no UTF-8
# (a box folder copied from Windows) come out in the JSON replaced, never as an abort.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

source "$(dirname "$0")/refusal.sh"
expect_told() { local what="$1" file="$2"; shift 2; refusal "$what" 1 "$file" "$ctl" "$@"; }

mkdir -p "$dir/s1/VOXMG-mail.ini" "$dir/VOXMG.ini"
expect_told "mail-test" "$dir/s1/VOXMG-mail.ini" mail-test --settings "$dir/s1"
grep -q 'メール転送の設定が正しくありません。' "$dir/refusal.err"
expect_told "mail-send" "$dir/s1/VOXMG-mail.ini" mail-send --now --settings "$dir/s1"
expect_told "settings show" "$dir/VOXMG.ini" settings show "$dir/VOXMG.ini"
grep -q '設定ファイルを読み込めません' "$dir/refusal.err"
expect_told "settings save" "$dir/VOXMG.ini" settings save "$dir/VOXMG.ini" "$dir/out.ini"

# A waiting mail under settings with no usable server: told, and still waiting afterwards.
data="$dir/data/office/rusuroku/001"
mkdir -p "$data" "$dir/s2"
python3 - "$data/202412020900_MON_R001_00001.vmdat" <<'PY'
import sys
open(sys.argv[1], "wb").write(bytes([0, 0, 2]) + bytes(987) + bytes(256) + bytes(100))
PY
printf '[SERVER]\r\nHOST=localhost\r\nFROM=voxmg@example.com\r\n[RECIPIENTS]\r\noffice/rusuroku/001=staff@example.com\r\n' \
    > "$dir/s2/VOXMG-mail.ini"
"$ctl" mail-enqueue "$data/202412020900_MON_R001_00001.vmdat" --settings "$dir/s2" > /dev/null
for broken in "" "garbage \x81\xff" "[SERVER]\r\nHOST=\r\n"; do
    printf "$broken" > "$dir/s2/VOXMG-mail.ini"
    expect_told "mail-send with unusable settings" "$dir/s2/VOXMG-mail.ini" mail-send --now --settings "$dir/s2"
    "$ctl" mail-outbox --settings "$dir/s2" |
        python3 -c 'import json,sys; j=json.load(sys.stdin); assert [x["state"] for x in j] == ["waiting"], j'
done

# A message path that is no UTF-8 comes out replaced.
raw="$dir/data/office/rusuroku/$(printf '\x93\xe0')"
mkdir -p "$raw"
cp "$data/202412020900_MON_R001_00001.vmdat" "$raw/"
rc=0
"$ctl" delete --kind pc "$raw/202412020900_MON_R001_00001.vmdat" > "$dir/del.json" || rc=$?
[ "$rc" -ne 134 ] && python3 -c 'import json,sys; json.load(open(sys.argv[1]))' "$dir/del.json"
echo "bad settings cli: ok"
