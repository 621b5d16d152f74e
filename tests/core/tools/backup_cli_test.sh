#!/usr/bin/env bash
# voxmgctl backup and next-backup as cron or a systemd timer runs them: the schedule read from
# VOXMG.ini, a backup that is due copies into the month folders and writes ZENKAIBI, ZENKAIKA
# and YOTEIBI back, one that is not due does nothing, and none runs beside the program.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
export XDG_RUNTIME_DIR="$dir"

mkdir -p "$dir/data"
ini="$dir/VOXMG.ini"
printf '[LOGIN]\r\nIP=127.0.0.1\r\nUSER=hozen\r\nPASS=hozen\r\nPORT=%s\r\n[FOLDER]\r\nFOLDER=%s/\r\n[BACKUP]\r\nHINDO=1\r\nJIKOKUHH=3\r\nJIKOKUMM=0\r\n' \
    "$port" "$dir/data" > "$ini"
json() { python3 -c "import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); print(eval(sys.argv[2]))" "$@"; }

"$ctl" next-backup --ini "$ini" --now 202412101200 > "$dir/next.json"
[ "$(json "$dir/next.json" 'd["next"], d["due"]')" = "('202412110300', True)" ]

"$ctl" backup --ini "$ini" --now 202412101200 --if-due > "$dir/run.json"
[ "$(json "$dir/run.json" 'd["success"], d["zenkaika"], d["yoteibi"]')" = "(True, 1, '202412110300')" ]
grep -q $'^ZENKAIBI=202412101200\r$' "$ini"
grep -q $'^YOTEIBI=202412110300\r$' "$ini"
grep -q $'^PORT='"$port"$'\r$' "$ini"
iconv -f CP932 -t UTF-8 "$dir/data/BU_202412/backup_info.ini" | grep -q '^YFLAG=完了'
copied=$(ls "$dir/data/BU_202412/rusuroku/001"/*.vmdat | head -1)
cmp <(tail -c +991 "$copied") "$dir/unit/rusuroku/001/$(basename "$copied")"

# Not due before 03:00 the next day: nothing runs, nothing changes.
cp "$ini" "$dir/before.ini"
"$ctl" backup --ini "$ini" --now 202412110259 --if-due > "$dir/early.json"
[ "$(json "$dir/early.json" 'd["due"]')" = "False" ]
cmp "$ini" "$dir/before.ini"

# While the program runs it holds the lock; the tool refuses and leaves the settings alone.
rc=0
flock "$dir/VOXMG-Zu.lock" "$ctl" backup --ini "$ini" --now 202412110300 > /dev/null 2> "$dir/locked.err" || rc=$?
[ "$rc" -eq 2 ]
grep -q "voxmg is running" "$dir/locked.err"
cmp "$ini" "$dir/before.ini"
# A timer that only asks whether it is its turn is told no, which is no failure.
flock "$dir/VOXMG-Zu.lock" "$ctl" backup --ini "$ini" --now 202412110300 --if-due > "$dir/locked.json"
[ "$(json "$dir/locked.json" 'd["due"]')" = "False" ]
cmp "$ini" "$dir/before.ini"

# Without --ini the tool reads the program's own settings: beside it when it may write there,
# else in $XDG_CONFIG_HOME/voxmg or ~/.config/voxmg.
mkdir -p "$dir/bin" "$dir/cfg/voxmg" "$dir/home/.config/voxmg"
cp "$ctl" "$dir/bin/voxmgctl"
at() { sed "s/^JIKOKUHH=3/JIKOKUHH=$1/" "$ini" > "$2"; }
at 5 "$dir/bin/VOXMG.ini"
at 4 "$dir/cfg/voxmg/VOXMG.ini"
at 1 "$dir/home/.config/voxmg/VOXMG.ini"
next() { "$@" next-backup --now 202412110200 | python3 -c 'import json,sys; print(json.load(sys.stdin)["next"])'; }
[ "$(next env XDG_CONFIG_HOME="$dir/cfg" "$dir/bin/voxmgctl")" = 202412110500 ]
chmod 555 "$dir/bin"
[ "$(next env XDG_CONFIG_HOME="$dir/cfg" HOME="$dir/home" "$dir/bin/voxmgctl")" = 202412110400 ]
[ "$(next env -u XDG_CONFIG_HOME HOME="$dir/home" "$dir/bin/voxmgctl")" = 202412120100 ]
chmod 755 "$dir/bin"

# A bad --now is refused before anything happens.
rc=0; "$ctl" backup --ini "$ini" --now 20241311 > /dev/null 2>&1 || rc=$?
[ "$rc" -eq 2 ]
echo ok
