#!/usr/bin/env bash
# Two runs on one data folder: a verb that changes it waits for another run's lock, up to
# --wait seconds, then exits 2 with nothing changed; reading takes no lock; a waiting run goes
# on as soon as the other lets go; two changing runs started together both finish, one after
# the other.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

data="$dir/data"
box="$data/office"
mkdir -p "$box/rusuroku/0101" "$box/naisen/201" "$box/outou"
printf '[INF]\r\nNAME="old"\r\nMAKE=0\r\n' > "$box/naisen/201/inf.ini"
at=(--root "$data" --folder office)
names() { iconv -f CP932 -t UTF-8 "$box/naisen/201/inf.ini"; }

# Another run holds the lock: this shell takes it on descriptor 9, as flock(1) would. The runs
# started meanwhile must not inherit that descriptor, or they would keep the lock alive.
exec 9> "$data/.voxmg.lock"
flock -n 9
run() { "$ctl" "$@" 9>&-; }

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
"$ctl" box-name "${at[@]}" --kind naisen 201 待機 --wait 30 > "$dir/waited.json" 9>&- &
waiting=$!
sleep 1
[ "$(names)" = "$(printf '[INF]\r\nNAME="old"\r\nMAKE=0\r')" ]
exec 9>&-
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

# The wait takes a number of seconds.
if "$ctl" make-box "${at[@]}" --kind naisen x --wait soon 2> /dev/null; then exit 1; fi
[ ! -e "$box/naisen/x" ]
echo "data lock cli: ok"
