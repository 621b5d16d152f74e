#!/usr/bin/env bash
# voxmgctl list writes its rows as it goes: the document must still be exactly the one a
# whole-document dump with two-space indents gives, with every cell as the window shows it.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export LANG=C LC_ALL=C

python3 - "$dir" <<'PY'
import os, sys
root = sys.argv[1]
def record(caller, state, flags=0, memo=""):
    r = bytearray(990)
    r[0] = flags; r[2] = state
    def put(at, s):
        b = s.encode("utf-16-le", "surrogatepass"); r[at:at + len(b)] = b
    put(102, caller); put(168, "2026/12/06 13:0" + str(state)); put(208, "00:00:05"); put(308, memo)
    return r
header = bytearray(256); header[0:16] = b"Zu-QX Voice-data"
box = f"{root}/本社/rusuroku/0101"
os.makedirs(box); os.makedirs(f"{root}/本社/rusuroku/0102")
# An unpaired surrogate in a record shows as U+FFFD; control characters are escaped.
callers = [("山田, 太郎", 2, 1), ('A "quoted"\tname', 1, 0), ("x\x01\\y\ud800z/\x7f", 0, 0)]
for n, (caller, state, flags) in enumerate(callers, 1):
    open(f"{box}/20261206130{n}_SUN_0101_0000{n}.vmdat", "wb").write(record(caller, state, flags) + header + b"Z" * 20)
PY

# The mail sender found message 2 silent (and one gone since); the mark follows its name.
mkdir -p "$dir/settings/mail-outbox"
printf '202612061302_SUN_0101_00002\n202612061309_SUN_0101_00009\n' > "$dir/settings/mail-outbox/silent-marks"

check() {  # expected rows and silent row indexes as Python literals, then the voxmgctl arguments
    local rows="$1" silent="$2"; shift 2
    "$ctl" list --root "$dir" --folder 本社 --settings "$dir/settings" "$@" > "$dir/out.json"
    python3 - "$dir/out.json" "$rows" "$silent" <<'PY'
import ast, json, sys
raw = open(sys.argv[1], encoding="utf-8").read()
doc = json.loads(raw)
assert raw == json.dumps(doc, indent=2, ensure_ascii=False) + "\n", raw
assert list(doc) == ["columns", "rows", "silent_rows", "box_total", "list_total", "filtered"], list(doc)
assert doc["columns"] == ["ﾌﾗｸﾞ", "取込", "再生/未再生", "保護/非保護", "BOX番号", "相手番号", "相手名称",
                          "日時", "録音時間", "ファイル名"], doc["columns"]
want = ast.literal_eval(sys.argv[2])
assert doc["rows"] == want, doc["rows"]
assert doc["silent_rows"] == ast.literal_eval(sys.argv[3]), doc["silent_rows"]
assert doc["box_total"] == len(want) and doc["list_total"] == len(want) and doc["filtered"] is False, doc
PY
}

# Newest first in the box: message 1 (13:02, unplayed on the unit) above message 2 (13:01).
check '[[" 1 ", "   0   ", "未再生", "非保護", "0101", "", "山田, 太郎", "2026/12/06 13:02",
         "00:00:05", "本社/rusuroku/0101/202612061301_SUN_0101_00001.vmdat"],
        [" 0 ", "   1   ", "未再生", "非保護", "0101", "", "A \"quoted\"\tname", "2026/12/06 13:01",
         "00:00:05", "本社/rusuroku/0101/202612061302_SUN_0101_00002.vmdat"],
        [" 0 ", "   2   ", "未再生", "非保護", "0101", "", "x\x01\\y\ufffdz/\x7f", "2026/12/06 13:00",
         "00:00:05", "本社/rusuroku/0101/202612061303_SUN_0101_00003.vmdat"]]' '[1]' --boxes rusuroku/0101
# A box without messages: an empty array, as the whole-document dump writes it.
check '[]' '[]' --boxes rusuroku/0102
grep -q '"rows": \[\],' "$dir/out.json"
echo "list json cli: ok"
