#!/usr/bin/env bash
# Writers of one data folder, two at a time and killed at random moments: move (box 101 <-> 102),
# copy (into 103), convert (WAV beside the messages) and edit (the memo). After each round the
# killed verb runs again, and then every message is whole in exactly one of 101 and 102, its
# copy in 103 is whole or absent, no WAV file lies without its message, and no temporary file
# is left: nothing lost, split or orphaned.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
box="$dir/data/office/rusuroku"
mkdir -p "$box/101" "$box/102" "$box/103"
python3 - "$box/101" <<'PY'
import os, sys
folder = sys.argv[1]
for n in range(1, 31):
    base = f"202612061300_SUN_0101_{n:05d}"
    record = bytearray(990)
    record[2] = 2  # the download state: voice downloaded
    frames = bytes((n * 7 + i) % 251 for i in range(10 * 200))  # 2 s of G.729 frames
    open(os.path.join(folder, base + ".vmdat"), "wb").write(bytes(record) + bytes(256) + frames)
    open(os.path.join(folder, base + ".vminf"), "wb").write(bytes(record) + bytes(256))
PY
voices() { ls "$box/$1"/*.vmdat 2> /dev/null || true; }
# The command line of a verb over the messages where they are now.
verb_line() {
    case "$1" in
        move) local from=101 to=102
              [ -n "$(voices 101)" ] || { from=102; to=101; }
              echo move --to "rusuroku/$to" $(voices $from) --wait 30 ;;
        copy) echo copy --to rusuroku/103 --overwrite all $(voices 101) $(voices 102) --wait 30 ;;
        convert) echo convert $(voices 101) $(voices 102) --wait 30 ;;
        edit) local one
              one=$( (voices 101; voices 102) | head -n 1)
              echo edit --memo "round $2" "$one" --wait 30 ;;
    esac
}
check() {  # round
    local at="round $1"
    python3 - "$box" "$at" <<'PY'
import os, sys
box, at = sys.argv[1], sys.argv[2]
names = {b: set(os.listdir(os.path.join(box, b))) for b in ("101", "102", "103")}
bad = []
for b, files in names.items():
    for f in files:
        if f.startswith(".voxmg"):
            bad.append(f"temporary file left in {b}: {f}")
        if f.endswith(".wav") and f[:-4] + ".vmdat" not in files:
            bad.append(f"WAV without its message in {b}: {f}")
for n in range(1, 31):
    base = f"202612061300_SUN_0101_{n:05d}"
    whole = [b for b in ("101", "102") if base + ".vmdat" in names[b] and base + ".vminf" in names[b]]
    parts = [b for b in ("101", "102") if base + ".vmdat" in names[b] or base + ".vminf" in names[b]]
    if len(whole) != 1 or len(parts) != 1:
        bad.append(f"{base}: whole in {whole}, parts in {parts}")
    copied = [e for e in (".vmdat", ".vminf") if base + e in names["103"]]
    if copied and len(copied) != 2:
        bad.append(f"{base}: split copy in 103: {copied}")
if bad:
    print(at + ": " + "; ".join(bad[:5]))
    sys.exit(1)
PY
}
verbs=(move copy convert edit)
rounds=30
seed=${SEED:-$RANDOM}
RANDOM=$seed
echo "mixed kill loop, seed $seed"
killed=0  # kills that found the verb still running
for round in $(seq 1 "$rounds"); do
    a=${verbs[RANDOM % 4]}
    b=${verbs[RANDOM % 4]}
    # shellcheck disable=SC2046
    "$ctl" $(verb_line "$a" "$round") > /dev/null 2>&1 &
    first=$!
    # shellcheck disable=SC2046
    "$ctl" $(verb_line "$b" "$round") > /dev/null 2>&1 &
    second=$!
    sleep "0.$(printf '%03d' $((RANDOM % 60)))"
    kill -9 "$first" 2> /dev/null || true
    rc=0
    wait "$first" 2> /dev/null || rc=$?
    [ "$rc" -ne 137 ] || killed=$((killed + 1))
    wait "$second" 2> /dev/null || true
    # The killed verb again, over the messages where they are now: it finishes what it began.
    # shellcheck disable=SC2046
    "$ctl" $(verb_line "$a" "$round") > /dev/null 2>&1 || true
    check "$round"
done
echo "mixed kill loop: ok ($killed of $rounds kills ended a run before it finished)"
