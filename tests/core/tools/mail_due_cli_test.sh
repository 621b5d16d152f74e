#!/usr/bin/env bash
# What is due for mail is computed from the box folders: setting recipients on a box of old
# messages mails none of them; a new message is mailed once however often it is moved, deleted
# on the PC and downloaded again; a damaged ledger is named and left as it is.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
source "$(dirname "$0")/mail_server.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")
download() {  # BOX-FOLDER
    "$ctl" download "${conn[@]}" --root "$dir/data" --folder "$1" --boxes rusuroku/001 --mail-settings "$set" > /dev/null
}
send() { "$ctl" mail-send --now --settings "$set"; }
sent_in() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["sent"])' "$1"; }
mkdir -p "$dir/data/本社/rusuroku/001" "$dir/data/支店/rusuroku/001" "$dir/data/支店/rusuroku/003"

# Old messages, stored long before mail was set up for their box.
download 本社
touch -d '-1 hour' "$dir"/data/本社/rusuroku/001/*
smtp_start
settings_write <<'INI'
本社/rusuroku/001=staff@example.com
支店/rusuroku/001=branch@example.com
支店/rusuroku/003=branch@example.com
INI
[ "$("$ctl" mail-outbox --settings "$set")" = "[]" ]
send > "$dir/s1.json"
[ "$(sent_in "$dir/s1.json")" = 0 ] && [ "$(mails)" = 0 ]

# New messages: mailed once, each.
download 支店
send > "$dir/s2.json"
[ "$(sent_in "$dir/s2.json")" = 3 ] && [ "$(mails)" = 3 ]
send > "$dir/s3.json"
[ "$(sent_in "$dir/s3.json")" = 0 ]

# Moved to another box with recipients, or deleted on the PC and downloaded again: not again.
mapfile -t branch < <(ls "$dir"/data/支店/rusuroku/001/*.vmdat)
"$ctl" move "${branch[0]}" --to rusuroku/003 > /dev/null
"$ctl" delete --kind pc "${branch[1]}" > /dev/null
[ ! -e "${branch[1]}" ]
download 支店
[ -e "${branch[1]}" ]
send > "$dir/s4.json"
[ "$(sent_in "$dir/s4.json")" = 0 ] && [ "$(mails)" = 3 ]

# A damaged ledger is named, on every verb, and kept as it is for whoever can mend it.
cp "$set/VOXMG-mail.db" "$dir/ledger.good"
head -c 4096 /dev/urandom > "$set/VOXMG-mail.db"
rm -f "$set/VOXMG-mail.db-wal" "$set/VOXMG-mail.db-shm"
cp "$set/VOXMG-mail.db" "$dir/ledger.bad"
for verb in mail-send mail-outbox; do
    rc=0; "$ctl" "$verb" --settings "$set" > "$dir/bad.json" 2> "$dir/bad.err" || rc=$?
    [ "$rc" -eq 1 ]
    grep -q "メールの送信記録を読み込めません。 $set/VOXMG-mail.db" "$dir/bad.err"
    grep -q '"file": ".*VOXMG-mail.db"' "$dir/bad.json"
done
cmp "$set/VOXMG-mail.db" "$dir/ledger.bad"
[ "$(mails)" = 3 ]

# Removed, the ledger is made anew, and it takes nothing stored before it for new: no mail twice
# (an earlier version's outbox after an upgrade is the same case).
rm "$set/VOXMG-mail.db"
send > "$dir/s5.json"
[ "$(sent_in "$dir/s5.json")" = 0 ] && [ "$(mails)" = 3 ]
echo ok
