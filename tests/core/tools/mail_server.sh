# Sourced by the mail tests after demo_unit.sh: a real SMTP server (aiosmtpd with STARTTLS and
# AUTH, tests/support/smtp_server.py) under Debian's own python3, the settings folder "$set"
# and helpers to write its settings (CP932, as the program's ini files) and read what arrived.
smtp_py=/usr/bin/python3
smtp_script="$(dirname "${BASH_SOURCE[0]}")/../../support/smtp_server.py"
set="$dir/settings"
mkdir -p "$set" "$dir/smtp"
smtppid=""
smtp_port=$("$smtp_py" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

smtp_start() {  # extra server options
    : > "$dir/smtp.out"
    "$smtp_py" "$smtp_script" "$dir/smtp" --port "$smtp_port" --user voxmg --password 'secret pw' "$@" \
        > "$dir/smtp.out" 2> "$dir/smtp.err" &
    smtppid=$!
    for _ in $(seq 1 200); do
        grep -q '^listening' "$dir/smtp.out" 2>/dev/null && return 0
        # A server that died (a missing module, a port taken) will not start listening later.
        kill -0 "$smtppid" 2>/dev/null || break
        sleep 0.05
    done
    echo "the SMTP server did not start:" >&2
    cat "$dir/smtp.err" >&2
    return 1
}
smtp_stop() {
    if [ -n "$smtppid" ]; then kill "$smtppid" 2>/dev/null || true; wait "$smtppid" 2>/dev/null || true; fi
    smtppid=""
}
trap 'smtp_stop; cleanup' EXIT

# settings_write [CAFILE [SECURITY]] then lines "BOX=RECIPIENTS" on stdin; SECURITY 0 STARTTLS
# (the default), 1 SSL/TLS
settings_write() {
    {
        printf '[SERVER]\r\nHOST=localhost\r\nPORT=%s\r\nSECURITY=%s\r\nUSER=voxmg\r\nPASS="secret pw"\r\n' \
            "$smtp_port" "${2-0}"
        printf 'FROM=voxmg@example.com\r\nCAFILE=%s\r\n[RECIPIENTS]\r\n' "${1-$dir/smtp/cert.pem}"
        sed 's/$/\r/'
    } | iconv -f UTF-8 -t CP932 > "$set/VOXMG-mail.ini"
}
mails() { ls "$dir/smtp/mail" 2>/dev/null | grep -c '\.eml$' || true; }
