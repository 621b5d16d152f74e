#!/usr/bin/env bash
# voxmgctl mail-enqueue / mail-send / mail-outbox / mail-test against a real SMTP server with
# STARTTLS and AUTH: what arrives (subject, body, the recording), an outage, a refused
# recipient, a caller name that tries to add a header, and an untrusted certificate.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"
source "$(dirname "$0")/mail_server.sh"
conn=(--host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw")
box="$dir/data/本社/rusuroku/001"
mkdir -p "$box"
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 本社 --boxes rusuroku/001 > /dev/null
mapfile -t v < <(ls "$box"/*.vmdat)
[ "${#v[@]}" -eq 3 ]
smtp_start
settings_write <<'INI'
本社/rusuroku/001=staff@example.com, boss@example.com
本社/naisen/101=bad@example.com, ok@example.com
本社/naisen/102=ok@example.com
INI
outbox_json() { "$ctl" mail-outbox --settings "$set"; }

# Three messages go, once each, and what arrives reads right.
for f in "${v[@]}"; do "$ctl" mail-enqueue "$f" --settings "$set" > /dev/null; done
[ "$(outbox_json | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')" = 3 ]
"$ctl" mail-send --now --settings "$set" > "$dir/send1.json"
[ "$(mails)" = 3 ]
[ "$(outbox_json)" = "[]" ]
LANG=C python3 - "$dir" "$box" <<'PY'
import email, email.policy, glob, json, os, subprocess, sys
d, box = sys.argv[1], sys.argv[2]
got = {}
for eml in sorted(glob.glob(f"{d}/smtp/mail/*.eml")):
    m = email.message_from_bytes(open(eml, "rb").read(), policy=email.policy.default)
    env = json.load(open(eml[:-4] + ".json"))
    assert sorted(env["to"]) == ["boss@example.com", "staff@example.com"], env
    got[m["message-id"]] = m
first = got["<202412020900_MON_R001_00001.d9d9b8dc@voxmg.invalid>"]
assert str(first["subject"]) == "留守録 001 山田　太郎 2024/12/02 09:00 (0:01)", first["subject"]
body = first.get_body(("plain",)).get_content()
for line in ("発信者番号: 0312345678", "発信者名: 山田　太郎", "日時: 2024/12/02 09:00", "長さ: 0:01"):
    assert line in body, (line, body)
for mid, m in got.items():
    name = mid[1:].split(".")[0]
    data = open(f"{box}/{name}.vmdat", "rb").read()
    tenths = int.from_bytes(data[990 + 130:990 + 134], "big")
    (att,) = list(m.iter_attachments())
    assert att.get_content_type() == "audio/mpeg" and att.get_filename() == name + ".mp3", att
    mp3 = f"{d}/{name}.mp3"
    open(mp3, "wb").write(att.get_content())
    probe = json.loads(subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-of", "json", mp3],
                                      capture_output=True, check=True).stdout)
    assert probe["streams"][0]["channels"] == 1 and probe["streams"][0]["sample_rate"] == "8000", probe
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", mp3, "-f", "s16le", "-ac", "1", "-"],
                         capture_output=True, check=True).stdout
    seconds = len(pcm) / 2 / 8000
    assert abs(seconds - tenths / 10) <= 0.1, (name, seconds, tenths)
PY

# The server is down while three wait: nothing goes, all three wait with the reason; once it is
# up, all three arrive once.
smtp_stop
for f in "${v[@]}"; do "$ctl" mail-enqueue "$f" --settings "$set" > /dev/null; done
rc=0; "$ctl" mail-send --now --settings "$set" > "$dir/down.json" 2> "$dir/down.err" || rc=$?
[ "$rc" -eq 1 ]
outbox_json > "$dir/down-outbox.json"
python3 - "$dir" <<'PY'
import json, sys
d = sys.argv[1]
s = json.load(open(f"{d}/down.json"))
assert s["sent"] == 0 and s["waiting"] == 3 and s["connection"]["code"] == "temporary", s
jobs = json.load(open(f"{d}/down-outbox.json"))
assert len(jobs) == 3 and all(j["state"] == "waiting" and j["attempts"] == 1 and j["last_reply"] for j in jobs), jobs
assert all(j["next_attempt"] - j["queued"] >= 60 for j in jobs), jobs
# The reason in Japanese for the user; curl's own words stay beside it as the detail.
assert all(j["reason"] == "接続できませんでした" for j in jobs), jobs
assert s["connection"]["reason"] == "接続できませんでした" and "onnect" in s["connection"]["reply"], s
PY
[ "$(mails)" = 3 ]
smtp_start --reject bad@example.com
"$ctl" mail-send --settings "$set" > "$dir/paused.json"  # the pause holds without --now
[ "$(mails)" = 3 ]
"$ctl" mail-send --now --settings "$set" > /dev/null
[ "$(mails)" = 6 ]
[ "$(outbox_json)" = "[]" ]

# A recipient refused with 550: that job fails for good with the reply, told once; the others go.
mkdir -p "$dir/data/本社/naisen/101" "$dir/data/本社/naisen/102"
cp "${v[0]}" "$dir/data/本社/naisen/101/"
cp "${v[1]}" "${v[2]}" "$dir/data/本社/naisen/102/"
for f in "$dir"/data/本社/naisen/10[12]/*.vmdat; do "$ctl" mail-enqueue "$f" --settings "$set" > /dev/null; done
rc=0; "$ctl" mail-send --now --settings "$set" > "$dir/r1.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ]
"$ctl" mail-send --now --settings "$set" > "$dir/r2.json"
[ "$(mails)" = 8 ]
outbox_json > "$dir/r-outbox.json"
python3 - "$dir" <<'PY'
import json, sys
d = sys.argv[1]
r1, r2 = json.load(open(f"{d}/r1.json")), json.load(open(f"{d}/r2.json"))
assert r1["sent"] == 2 and len(r1["failed"]) == 1 and r1["connection"] is None, r1
assert "550" in r1["failed"][0]["last_reply"] and "bad@example.com" in r1["failed"][0]["last_reply"], r1
assert r1["failed"][0]["reason"] == "メールサーバーが受け付けませんでした", r1
assert r2["sent"] == 0 and r2["failed"] == [], r2
(job,) = json.load(open(f"{d}/r-outbox.json"))
assert job["state"] == "failed" and job["box"] == "本社/naisen/101" and job["attempts"] == 0, job
PY
# Given up, it leaves the outbox unsent; a second try finds nothing to give up.
refused=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["id"])' "$dir/r-outbox.json")
[ "$("$ctl" mail-outbox --settings "$set" --discard "$refused")" = "[]" ]
rc=0; "$ctl" mail-outbox --settings "$set" --discard "$refused" > /dev/null 2>&1 || rc=$?
[ "$rc" -eq 1 ]
[ -f "$dir/data/本社/naisen/101/$(basename "${v[0]}")" ]

# A caller name that carries a line break and a header adds neither a header nor a recipient.
mkdir -p "$dir/data/本社/naisen/103"
evil="$dir/data/本社/naisen/103/202412020900_MON_N103_00009.vmdat"
python3 - "${v[0]}" "$evil" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
name = "山田\r\nBcc: x@example.com".encode("utf-16-le")
data[102:102 + 66] = name + bytes(66 - len(name))
open(sys.argv[2], "wb").write(data)
PY
printf '本社/naisen/103=ok@example.com\n' | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >> "$set/VOXMG-mail.ini"
"$ctl" mail-enqueue "$evil" --settings "$set" > /dev/null
"$ctl" mail-send --now --settings "$set" > /dev/null
[ "$(mails)" = 9 ]
last=$(ls "$dir"/smtp/mail/*.eml | tail -1)
python3 - "$last" <<'PY'
import email, email.policy, json, sys
raw = open(sys.argv[1], "rb").read()
assert json.load(open(sys.argv[1][:-4] + ".json"))["to"] == ["ok@example.com"]
head = raw.split(b"\r\n\r\n", 1)[0]
assert not any(l.lower().startswith(b"bcc") for l in head.split(b"\r\n")), head
m = email.message_from_bytes(raw, policy=email.policy.default)
assert m["bcc"] is None and "x@example.com" not in (m["to"] or ""), m.keys()
assert str(m["subject"]) == "内線 001 山田  Bcc: x@example.com 2024/12/02 09:00 (0:01)", m["subject"]
PY

# Without the office's certificate file the server's certificate is refused, with a clear text.
settings_write "" <<'INI'
本社/rusuroku/001=staff@example.com
INI
rc=0; "$ctl" mail-test --settings "$set" > "$dir/t1.json" 2> "$dir/t1.err" || rc=$?
[ "$rc" -eq 1 ]
grep -q '"code": "certificate-refused"' "$dir/t1.json"
grep -q '証明書' "$dir/t1.err"
settings_write <<'INI'
本社/rusuroku/001=staff@example.com
INI
"$ctl" mail-test --settings "$set" > "$dir/t2.json"
grep -q '"reply_code": 250' "$dir/t2.json"
! grep -rq 'secret pw' "$dir"/*.json
# A download puts the new messages of a box with recipients into the outbox, and only new ones:
# downloading a box whose messages are here already adds nothing.
mkdir -p "$dir/data/支店/rusuroku/001"
printf '支店/rusuroku/001=branch@example.com\n' | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >> "$set/VOXMG-mail.ini"
branch_jobs() { outbox_json | python3 -c 'import json,sys; print(sum(j["box"].startswith("支店/") for j in json.load(sys.stdin)))'; }
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 支店 --boxes rusuroku/001 --mail-settings "$set" > /dev/null
[ "$(branch_jobs)" = 3 ]
"$ctl" download "${conn[@]}" --root "$dir/data" --folder 支店 --boxes rusuroku/001 --mail-settings "$set" > /dev/null
[ "$(branch_jobs)" = 3 ]
before=$(mails)
"$ctl" mail-send --now --settings "$set" > /dev/null
[ "$(mails)" = $((before + 3)) ]
[ "$(branch_jobs)" = 0 ]

# SSL/TLS (SMTPS, TLS from the first byte): the same certificate checks and the same mail; a
# STARTTLS setting against it fails within its time limit instead of waiting.
smtp_stop
smtp_start --implicit-tls
settings_write "$dir/smtp/cert.pem" 1 <<'INI'
本社/rusuroku/001=staff@example.com
INI
"$ctl" mail-test --settings "$set" > "$dir/t3.json"
grep -q '"reply_code": 250' "$dir/t3.json"
"$ctl" mail-enqueue "${v[0]}" --settings "$set" > /dev/null
before=$(mails)
"$ctl" mail-send --now --settings "$set" > /dev/null
[ "$(mails)" = $((before + 1)) ]
grep -q '^Message-ID: <202412020900_MON_R001_00001.d9d9b8dc@voxmg.invalid>' "$(ls "$dir"/smtp/mail/*.eml | tail -1)"
settings_write "" 1 <<'INI'
本社/rusuroku/001=staff@example.com
INI
rc=0; "$ctl" mail-test --settings "$set" > "$dir/t4.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ]
grep -q '"code": "certificate-refused"' "$dir/t4.json"
settings_write "$dir/smtp/cert.pem" 0 <<'INI'
本社/rusuroku/001=staff@example.com
INI
rc=0; timeout 60 "$ctl" mail-test --settings "$set" > "$dir/t5.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ]

# A mail the server puts off (451) waits for a later pass, and that pass is no success for a
# timer: exit 1, the JSON counting it. An outbox that cannot be used is not "busy".
smtp_stop
smtp_start --defer later@example.com
settings_write <<'INI'
本社/rusuroku/001=later@example.com
INI
"$ctl" mail-enqueue "${v[1]}" --settings "$set" > /dev/null
rc=0; "$ctl" mail-send --now --settings "$set" > "$dir/d1.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ]
python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); assert j["postponed"] == 1 and j["waiting"] == 1, j' "$dir/d1.json"
outbox_json | python3 -c 'import json,sys; assert [j["state"] for j in json.load(sys.stdin)] == ["waiting"]'
mkdir -p "$dir/blocked" && : > "$dir/blocked/mail-outbox"
rc=0; "$ctl" mail-send --now --settings "$dir/blocked" > "$dir/b1.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ] && grep -q '"busy": false' "$dir/b1.json"

# A sender the server refuses (553 to MAIL FROM) is a fault of the settings, not of the mail: it
# waits, with the reason, and goes once the server takes the sender.
smtp_stop
smtp_start --reject-sender
rc=0; "$ctl" mail-send --now --settings "$set" > "$dir/rs.json" 2> /dev/null || rc=$?
[ "$rc" -eq 1 ]
python3 - "$dir/rs.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1]))
assert j["failed"] == [] and j["waiting"] == 1 and j["connection"]["code"] == "bad-settings", j
assert "553" in j["connection"]["reply"], j
assert j["connection"]["reason"] == "メールサーバーが送信者または接続を受け付けませんでした", j
PY
outbox_json | python3 -c 'import json,sys; assert [j["state"] for j in json.load(sys.stdin)] == ["waiting"]'
echo ok
