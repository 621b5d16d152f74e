#!/usr/bin/env bash
# A data folder this user may not write: every verb that writes changes nothing, exits
# non-zero and says it cannot write (not that a slot is taken, a message not downloaded or an
# input wrong). A message file that cannot be read is not "already deleted". Run as root, the
# verbs run as nobody, since root writes anywhere.
set -euo pipefail
ctl="$1"
# As root the verbs run as nobody, who must reach the folder: not under a private TMPDIR.
if [ "$(id -u)" -eq 0 ]; then dir=$(mktemp -d /tmp/voxmg-read-only-XXXXXX); else dir=$(mktemp -d); fi
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
chmod 755 "$dir"
if [ "$(id -u)" -eq 0 ]; then
    # nobody may not reach the build tree (a clone in a private folder): a copy of its own.
    cp "$ctl" "$dir/voxmgctl"
    ctl="$dir/voxmgctl"
fi
as_user() {
    if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi
}

data="$dir/data"
box="$data/office"
mkdir -p "$box/rusuroku/0101" "$box/rusuroku/0102" "$box/naisen/201" "$box/outou"
python3 - "$box/rusuroku/0101/20261207120000R0101_00001.vmdat" <<'PY'
import struct, sys
# A 990-byte record (state 2: voice downloaded), a 256-byte header and ten frames of silence.
record = bytearray(990)
record[2] = 2  # the download state: voice downloaded
open(sys.argv[1], "wb").write(bytes(record) + bytes(256) + bytes(10 * 10))
PY
msg="$box/rusuroku/0101/20261207120000R0101_00001.vmdat"
printf 'RIFF' > "$dir/not-audio.wav"
python3 - "$dir/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i / 3))) for i in range(8000)))
PY
chmod 644 "$dir/tone.wav"
[ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$data"
snapshot() { (cd "$data" && find . -printf '%p %m %s\n' | LC_ALL=C sort); }
chmod -R a-w "$data"
before=$(snapshot)

source "$(dirname "$0")/refusal.sh"
cannot_write() { local what="$1"; shift; refusal "$what" any 書き込みできません as_user "$ctl" "$@"; }
cannot_write "make-box" make-box --root "$data" --folder office --kind naisen 応接室
cannot_write "box-name" box-name --root "$data" --folder office --kind naisen 201 受付
cannot_write "edit" edit --memo m "$msg"
cannot_write "delete on the PC" delete --kind pc "$msg"
cannot_write "move" move --to rusuroku/0102 "$msg"
cannot_write "convert" convert "$msg"
cannot_write "import-response" import-response "$dir/not-audio.wav" --slot 5 --root "$data" --folder office
cannot_write "listen --mark" listen --mark "$msg"
[ "$(snapshot)" = "$before" ] || { echo "the read-only folder changed"; exit 1; }

# The same with a lock file left from earlier runs that may still be written: the lock is
# taken, and the operation itself tells that the folder refused it.
chmod u+w "$data"
: > "$data/.voxmg.lock"
chmod 666 "$data/.voxmg.lock"
chmod a-w "$data"
before=$(snapshot)
cannot_write "make-box past the lock" make-box --root "$data" --folder office --kind naisen 応接室
cannot_write "edit past the lock" edit --memo m "$msg"
cannot_write "delete on the PC past the lock" delete --kind pc "$msg"
cannot_write "import-response past the lock" import-response "$dir/tone.wav" --slot 5 --root "$data" --folder office
[ "$(snapshot)" = "$before" ] || { echo "the read-only folder changed"; exit 1; }

# A message file nobody may read is there: it cannot be played, it is not deleted.
chmod u+w "$box/rusuroku/0101"
chmod 000 "$msg"
rc=0
as_user "$ctl" listen "$msg" > "$dir/listen.json" || rc=$?
[ "$rc" -ne 0 ]
if grep -q '既に消去' "$dir/listen.json"; then echo "an unreadable file is called deleted"; exit 1; fi
echo "read-only cli: ok"
