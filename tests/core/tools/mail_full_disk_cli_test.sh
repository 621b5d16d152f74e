#!/usr/bin/env bash
# The settings folder on a full file system (a small tmpfs; skipped where nothing can be
# mounted): downloads go on and store their messages, the mail waits, nothing is lost or sent
# twice, and once space returns every new message is mailed once..
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
mkdir -p "$dir/settings"
if ! mount -t tmpfs -o size=256k tmpfs "$dir/settings" 2> /dev/null; then
    echo "skipped: no tmpfs can be mounted here"
    exit 77
fi
source "$(dirname "$0")/mail_server.sh"
trap 'smtp_stop; umount "$set" 2> /dev/null || true; cleanup' EXIT
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")
download() {  # BOX-FOLDER
    "$ctl" download "${conn[@]}" --root "$dir/data" --folder "$1" --boxes rusuroku/001 --mail-settings "$set"
}
sent_in() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["sent"])' "$1"; }
mkdir -p "$dir/data/本社/rusuroku/001" "$dir/data/支店/rusuroku/001"
smtp_start
settings_write <<'INI'
本社/rusuroku/001=staff@example.com
支店/rusuroku/001=branch@example.com
INI
touch -d '-1 min' "$set/VOXMG-mail.ini"
download 本社 > /dev/null
"$ctl" mail-send --now --settings "$set" > "$dir/s1.json"
[ "$(sent_in "$dir/s1.json")" = 3 ]

# Full: the download stores its messages all the same; the mail cannot be noted and waits.
dd if=/dev/zero of="$set/filler" bs=4k 2> /dev/null || true
download 支店 > "$dir/d.json"
[ "$(ls "$dir"/data/支店/rusuroku/001/*.vmdat | wc -l)" = 3 ]
for _ in 1 2; do
    rc=0; "$ctl" mail-send --now --settings "$set" > "$dir/full.json" 2> /dev/null || rc=$?
    [ "$rc" -eq 1 ]
done
[ "$(mails)" = 3 ]
# Space returns: the three new ones go, once.
rm "$set/filler"
"$ctl" mail-send --now --settings "$set" > "$dir/s2.json"
[ "$(sent_in "$dir/s2.json")" = 3 ] && [ "$(mails)" = 6 ]
"$ctl" mail-send --now --settings "$set" > "$dir/s3.json"
[ "$(sent_in "$dir/s3.json")" = 0 ]
echo ok
