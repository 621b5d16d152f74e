#!/usr/bin/env bash
# Two runs on one data folder: a verb that changes it waits for another run's lock, up to
# --wait seconds, then exits 2 with nothing changed; reading takes no lock; a waiting run goes
# on as soon as the other lets go; two changing runs started together both finish, one after
# the other.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)

data="$dir/data"
box="$data/office"
mkdir -p "$box/rusuroku/0101" "$box/naisen/201" "$box/outou"
printf '[INF]\r\nNAME="old"\r\nMAKE=0\r\n' > "$box/naisen/201/inf.ini"
at=(--root "$data" --folder office)
names() { iconv -f CP932 -t UTF-8 "$box/naisen/201/inf.ini"; }

# Another run holds the lock (tests/support/hold_lock.py) until hold_stop.
holder=""
hold_start() {
    /usr/bin/python3 "$(dirname "$0")/../../support/hold_lock.py" "$1/.voxmg.lock" > "$dir/hold.out" &
    holder=$!
    for _ in $(seq 1 100); do
        grep -qs '^held' "$dir/hold.out" && return 0
        kill -0 "$holder" 2> /dev/null || break
        sleep 0.05
    done
    echo "the lock holder did not start"; exit 1
}
hold_stop() { kill "$holder"; wait "$holder" 2> /dev/null || true; holder=""; }
trap '[ -z "$holder" ] || kill "$holder"; rm -rf "$dir"' EXIT
hold_start "$data"
run() { "$ctl" "$@"; }

started=$SECONDS
if run make-box "${at[@]}" --kind naisen 応接室 --wait 1 > "$dir/out.json" 2> "$dir/err.txt"; then
    echo "make-box ran while another run held the data folder"; exit 1
else
    [ $? -eq 2 ] || { echo "busy is not exit 2"; exit 1; }
fi
grep -q '他の操作が実行中です。' "$dir/err.txt"
[ ! -e "$box/naisen/応接室" ]
[ $((SECONDS - started)) -ge 1 ] && [ $((SECONDS - started)) -lt 10 ]
run load-box "$box/naisen/201" > /dev/null  # reading goes on

# A run that waits goes on once the holder lets go.
"$ctl" box-name "${at[@]}" --kind naisen 201 待機 --wait 30 > "$dir/waited.json" &
waiting=$!
# Until it has the lock file open and waits on it (a look at its descriptors, not a time).
for _ in $(seq 1 200); do
    ls -l "/proc/$waiting/fd" 2> /dev/null | grep -q '\.voxmg\.lock' && break
    sleep 0.05
done
ls -l "/proc/$waiting/fd" | grep -q '\.voxmg\.lock'
[ "$(names)" = "$(printf '[INF]\r\nNAME="old"\r\nMAKE=0\r')" ]
hold_stop
wait "$waiting"
[ "$(names)" = "$(printf '[INF]\r\nNAME="待機"\r\nMAKE=0\r')" ]

# Two phone book imports at once: both finish, each whole, the later one's name stays.
for who in 山田 佐藤; do
    printf '電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n1,201,%s,ﾔﾏﾀﾞ\r\n' "$who" |
        iconv -f UTF-8 -t CP932 > "$dir/$who.csv"
done
"$ctl" import-names "$dir/山田.csv" "${at[@]}" > "$dir/a.json" &
first=$!
"$ctl" import-names "$dir/佐藤.csv" "${at[@]}" > "$dir/b.json" &
second=$!
wait "$first" && wait "$second"
case "$(names)" in
    "$(printf '[INF]\r\nNAME=山田\r\nMAKE=0\r')" | "$(printf '[INF]\r\nNAME=佐藤\r\nMAKE=0\r')") ;;
    *) echo "names mixed: $(names)"; exit 1 ;;
esac
[ ! -e "$box/naisen/201/inf.tmp" ]

# Every verb that writes waits for the holder and changes nothing, whatever options come
# before its files; a run over messages of two data folders waits for either.
second="$dir/second"
mkdir -p "$second/office/rusuroku/0101" "$second/office/rusuroku/0102"
msg="$second/office/rusuroku/0101/20261207120000R0101_00001.vmdat"
printf 'x' > "$msg"
other="$box/rusuroku/0101/20261207120000R0101_00002.vmdat"
printf 'x' > "$other"
hold_start "$second"
source "$(dirname "$0")/refusal.sh"
expect_busy() { local what="$1"; shift; refusal "$what" 2 '他の操作が実行中です。' "$ctl" "$@" --wait 0; }
expect_busy "fetch-voice with --mail-settings" fetch-voice --mail-settings "$dir" "$msg" --host 127.0.0.1 \
    --user u --password-file /dev/null
expect_busy "convert" convert --dest "$dir/wav" "$msg"
expect_busy "edit" edit --memo m "$msg"
expect_busy "move" move --to rusuroku/0102 "$msg"
expect_busy "copy of two folders' messages" copy --to rusuroku/0102 "$other" "$msg"
expect_busy "delete on the PC" delete --kind pc "$msg"
expect_busy "make-box" make-box --root "$second" --folder office --kind naisen y
[ -e "$msg" ] && [ ! -e "$second/office/rusuroku/0102/$(basename "$msg")" ] && [ ! -e "$dir/wav" ]
hold_stop

# A lock file that cannot be used is a refusal naming it, never a run without the lock.
rm "$second/.voxmg.lock" && mkdir "$second/.voxmg.lock"
rc=0
"$ctl" make-box --root "$second" --folder office --kind naisen z > /dev/null 2> "$dir/refused.err" || rc=$?
[ "$rc" -eq 2 ] || { echo "make-box with an unusable lock file exited $rc"; exit 1; }
grep -q "書き込みできません: $second/.voxmg.lock" "$dir/refused.err"
[ ! -e "$second/office/naisen/z" ]
rmdir "$second/.voxmg.lock"
ln -s "$dir/elsewhere" "$second/.voxmg.lock"
rc=0
"$ctl" convert "$msg" > /dev/null 2> "$dir/refused.err" || rc=$?
[ "$rc" -eq 2 ] && [ ! -e "$dir/elsewhere" ] || { echo "convert through a linked lock file: exit $rc"; exit 1; }

# The wait takes a number of seconds.
if "$ctl" make-box "${at[@]}" --kind naisen x --wait soon 2> /dev/null; then exit 1; fi
[ ! -e "$box/naisen/x" ]
echo "data lock cli: ok"
