#!/usr/bin/env bash
# `voxmgctl mail-send` killed with SIGKILL at random moments while eight messages wait, against
# a server that answers the end of each mail slowly, so kills land before, during and right
# after the server takes a mail. Whenever the outbox empties, the eight are put in again (a new
# round). Afterwards every message has arrived at least once per round (a kill between the
# server's 250 and the job's removal may send one twice, with the same Message-ID), the outbox
# is empty and no torn job file is left in it.
#   mail_kill_loop_cli_test.sh VOXMGCTL VOXMG-SIM [KILLS]
set -euo pipefail
ctl="$1"
sim="$2"
kills="${3:-20}"
source "$(dirname "$0")/demo_unit.sh"
source "$(dirname "$0")/mail_server.sh"
box="$dir/data/本社/rusuroku/001"
mkdir -p "$box"
"$ctl" download --host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw" --root "$dir/data" \
    --folder 本社 --boxes rusuroku/001 > /dev/null
mapfile -t originals < <(ls "$box"/*.vmdat)
for n in 1 2 3 4 5 6 7 8; do cp "${originals[0]}" "$box/202412030900_TUE_R001_0010$n.vmdat"; done
rm -f "${originals[@]}"
smtp_start --data-delay 0.04
settings_write <<'INI'
本社/rusuroku/001=staff@example.com
INI
enqueue_all() { for f in "$box"/*.vmdat; do "$ctl" mail-enqueue "$f" --settings "$set" > /dev/null; done; }
enqueue_all
rounds=1

seed=${RANDOM}
RANDOM=$seed
done_kills=0
for _ in $(seq 1 "$kills"); do
    if [ "$("$ctl" mail-outbox --settings "$set")" = "[]" ]; then
        enqueue_all
        rounds=$((rounds + 1))
    fi
    "$ctl" mail-send --now --settings "$set" > /dev/null 2>&1 &
    pid=$!
    sleep "0.$(printf '%03d' $((RANDOM % 700)))"
    kill -9 "$pid" 2>/dev/null && done_kills=$((done_kills + 1)) || true
    wait "$pid" 2>/dev/null || true
done
for _ in 1 2 3; do
    [ "$("$ctl" mail-outbox --settings "$set")" = "[]" ] && break
    "$ctl" mail-send --now --settings "$set" > /dev/null
done
[ "$("$ctl" mail-outbox --settings "$set")" = "[]" ]
! ls "$set/mail-outbox" | grep -q '\.job$'
python3 - "$dir" "$done_kills" "$seed" "$rounds" <<'PY'
import collections, email, email.policy, glob, sys
d, kills, seed, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
ids = collections.Counter()
for eml in glob.glob(f"{d}/smtp/mail/*.eml"):
    ids[email.message_from_bytes(open(eml, "rb").read(), policy=email.policy.default)["message-id"]] += 1
want = {f"<202412030900_TUE_R001_0010{n}.d9d9b8dc@voxmg.invalid>" for n in range(1, 9)}
assert set(ids) == want and min(ids.values()) >= rounds, (ids, rounds, seed)
extra = sum(ids.values()) - 8 * rounds
print(f"kills {kills}, rounds {rounds}, mails {sum(ids.values())}, sent twice {extra}, seed {seed}")
PY
echo ok
