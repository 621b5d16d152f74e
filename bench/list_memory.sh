#!/usr/bin/env bash
# Peak memory of four list windows of 50,000 messages: the desktop program under Xvfb restores
# four lists from VOXMG.ini (each over the same four boxes), and its VmHWM is read once it has
# gone quiet. Then voxmgctl list of the same 50,000 messages, its peak from /usr/bin/time.
# Aims: the program under 120 MB, voxmgctl list under 80 MB.
# Usage: bench/list_memory.sh BUILD_DIR [MESSAGES]   (default 50000; needs Xvfb, display :96)
set -euo pipefail
build=$(cd "${1:?usage: list_memory.sh BUILD_DIR [MESSAGES]}" && pwd)
total="${2:-50000}"
dir=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

python3 - "$dir" "$total" <<'PY'
import os, sys
root, total = sys.argv[1], int(sys.argv[2])
callers = ["山田 太郎", "佐藤 花子", "鈴木 一郎", "株式会社 田中商店", "高橋, 次郎"]
def record(i):
    r = bytearray(990); r[2] = 1 + i % 3
    def put(at, s):
        b = s.encode("utf-16-le"); r[at:at + len(b)] = b
    put(36, "0312345678"); put(102, callers[i % 5])
    put(168, "2026/12/06 13:05" if i % 3 == 0 else "2026/11/30 09:41"); put(208, "00:00:12")
    return r
header = bytearray(256); header[0:16] = b"Zu-QX Voice-data"
for b in range(4):
    box = "%04d" % (101 + b)
    folder = f"{root}/data/bench/rusuroku/{box}"
    os.makedirs(folder)
    for i in range(total // 4):
        with open(f"{folder}/20261206{i // 100000:04d}_SUN_{box}_{i % 100000:05d}.vmdat", "wb") as f:
            f.write(record(i) + header + b"Z" * 100)
os.makedirs(f"{root}/data/bench/naisen")
title = "留守録BOX：0101,0102,0103,0104"
lines = ["[FOLDER]", f"FOLDER={root}/data/", "INIT=0", "CHANGE=0", "[DISP]", "FOLDERNAME=bench", "NUM=4"]
for n in range(1, 5):
    lines += [f"DISP{n}={title}", f"FOLDERNAME{n}=bench"]
os.makedirs(f"{root}/program")
with open(f"{root}/program/VOXMG.ini", "wb") as f:
    f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
PY
# The program reads VOXMG.ini from its own folder.
cp "$build/src/gui/voxmg" "$dir/program/voxmg"
mkdir -m 700 "$dir/run"

Xvfb :96 -screen 0 1280x1024x24 -nolisten tcp > "$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
sleep 1
cp "$dir/program/VOXMG.ini" "$dir/VOXMG.ini.lists"
sed 's/^NUM=4/NUM=0/' "$dir/VOXMG.ini.lists" > "$dir/VOXMG.ini.none"

# Starts the program with the given VOXMG.ini and waits until it is quiet (no CPU time used for
# two seconds in a row); prints the seconds it took and its VmHWM and VmRSS in kB.
measure() {
    cp "$1" "$dir/program/VOXMG.ini"
    local start end now last=-1 quiet=0
    start=$(date +%s.%N)
    XDG_RUNTIME_DIR="$dir/run" HOME="$dir" DISPLAY=:96 LANG=C.UTF-8 "$dir/program/voxmg" > "$dir/app.log" 2>&1 &
    app_pid=$!
    while [ "$quiet" -lt 4 ]; do
        sleep 0.5
        [ -d "/proc/$app_pid" ] || { echo "the program exited" >&2; cat "$dir/app.log" >&2; exit 1; }
        now=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
        if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$now
    done
    end=$(date +%s.%N)
    echo "$(echo "$end - $start - 2" | bc) $(awk '/VmHWM/ {print $2}' "/proc/$app_pid/status")" \
        "$(awk '/VmRSS/ {print $2}' "/proc/$app_pid/status")"
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

read -r _ idle_hwm _ < <(measure "$dir/VOXMG.ini.none")
read -r took hwm rss < <(measure "$dir/VOXMG.ini.lists")
printf 'program with no list: VmHWM %.1f MB\n' "$(echo "$idle_hwm / 1024" | bc -l)"
printf 'four lists of %d restored in %.1f s: VmHWM %.1f MB, VmRSS %.1f MB (aim: peak under 120 MB)\n' \
    "$total" "$took" "$(echo "$hwm / 1024" | bc -l)" "$(echo "$rss / 1024" | bc -l)"

/usr/bin/time -v "$build/src/tools/voxmgctl" list --root "$dir/data" --folder bench \
    --boxes rusuroku/0101,rusuroku/0102,rusuroku/0103,rusuroku/0104 > /dev/null 2> "$dir/time.txt"
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
printf 'voxmgctl list: maximum resident %.1f MB (aim: under 80 MB)\n' "$(echo "$peak / 1024" | bc -l)"
