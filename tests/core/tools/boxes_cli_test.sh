#!/usr/bin/env bash
# voxmgctl make-box, rename-box, box-name and import-names: what the box dialogs and the phone
# book import do, and that a refusal exits non-zero with nothing changed.
set -euo pipefail
ctl="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

box="$dir/data/office"
mkdir -p "$box/rusuroku/0101" "$box/naisen/201" "$box/naisen/202"
printf '[INF]\r\nNAME="old"\r\nMAKE=0\r\n' > "$box/naisen/201/inf.ini"
at=(--root "$dir/data" --folder office)
field() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$dir/out.json" "$1"; }
refused() { if "$ctl" "$@" > "$dir/out.json"; then echo "not refused: $*"; exit 1; fi; }
cp932() { iconv -f cp932 -t utf-8 "$1"; }

"$ctl" make-box "${at[@]}" --kind naisen 応接室 > "$dir/out.json"
[ "$(field caption)" = 作成完了 ]
[ "$(cat "$box/naisen/応接室/inf.ini")" = "$(printf '[INF]\r\nMAKE=1\r\nAutoDel=0\r')" ]
refused make-box "${at[@]}" --kind naisen 応接室
[ "$(field summary)" = "フォルダ名が重複しています。" ]
refused make-box "${at[@]}" --kind rusuroku 'a|b'
[ "$(field summary)" = "入力値エラーです。" ]
[ ! -e "$box/rusuroku/a|b" ]

# Only boxes made on the PC are renamed, and never onto a name in use.
refused rename-box "${at[@]}" --kind naisen 201 299 2> /dev/null
refused rename-box "${at[@]}" --kind naisen 応接室 202
[ -d "$box/naisen/応接室" ]
"$ctl" rename-box "${at[@]}" --kind naisen 応接室 会議室 > "$dir/out.json"
[ "$(field caption)" = 変更完了 ] && [ -d "$box/naisen/会議室" ] && [ ! -e "$box/naisen/応接室" ]

"$ctl" box-name "${at[@]}" --kind naisen 202 あいうえお > "$dir/out.json"
[ "$(cp932 "$box/naisen/202/inf.ini")" = "$(printf '[INF]\r\nNAME="あいうえお"\r')" ]
for name in あいうえおか 'a,b'; do
    refused box-name "${at[@]}" --kind naisen 202 "$name"
    [ "$(field summary)" = "入力値エラーです。" ]
done
[ "$(cp932 "$box/naisen/202/inf.ini")" = "$(printf '[INF]\r\nNAME="あいうえお"\r')" ]

# The phone book: a wrong header changes nothing; a good one names the boxes it lists.
printf '電話帳\r\n番号,名前\r\n1,201,山田,ﾔﾏﾀﾞ\r\n' | iconv -f utf-8 -t cp932 > "$dir/bad.csv"
printf '電話帳\r\n収容位置,内線番号,内線名称,ヨミガナ\r\n1,201,山田,ﾔﾏﾀﾞ,\r\n2,999,誰か,ﾀﾞﾚｶ\r\n' |
    iconv -f utf-8 -t cp932 > "$dir/good.csv"
refused import-names "$dir/bad.csv" "${at[@]}"
[ "$(field summary)" = インポートエラー ]
[ "$(cat "$box/naisen/201/inf.ini")" = "$(printf '[INF]\r\nNAME="old"\r\nMAKE=0\r')" ]
"$ctl" import-names "$dir/good.csv" "${at[@]}" > "$dir/out.json"
[ "$(field caption)" = インポート完了 ]
[ "$(cp932 "$box/naisen/201/inf.ini")" = "$(printf '[INF]\r\nNAME=山田\r\nMAKE=0\r')" ]
[ ! -e "$box/naisen/201/inf.tmp" ] && [ ! -e "$box/naisen/999" ]

# Usage errors.
if "$ctl" make-box --root "$dir/data" --folder .. --kind naisen x 2> /dev/null; then exit 1; fi
if "$ctl" make-box "${at[@]}" --kind outou x 2> /dev/null; then exit 1; fi
echo "boxes cli: ok"
