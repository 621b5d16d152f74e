#!/usr/bin/env bash
# voxmgctl move and copy on messages downloaded from the simulator: a copy, a move that meets a
# clash answered いいえ and then 全て上書き, a refused info-only message and a bad destination;
# and what killed runs leave: a lone recording info of a copy, a move half way through.
set -euo pipefail
ctl="$1"
sim="$2"
source "$(dirname "$0")/demo_unit.sh"

box="$dir/data/本社/rusuroku"
mkdir -p "$dir/data/本社/outou" "$box/001" "$box/002" "$dir/data/本社/naisen/201"
"$ctl" download --host 127.0.0.1 --port "$port" --user hozen --password-file "$dir/pw" \
    --root "$dir/data" --folder 本社 > /dev/null
mapfile -t v < <(ls "$box/001"/*.vmdat)
[ "${#v[@]}" -ge 3 ]
name() { basename "$1"; }
outcomes() { python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); print(" ".join(f["outcome"] for f in j["files"]), j["summary"]["text"])' "$1"; }

# A copy: both boxes hold the message, byte for byte.
"$ctl" copy "${v[0]}" --to rusuroku/002 > "$dir/copy.json"
[ "$(outcomes "$dir/copy.json")" = "done 音声メッセージのコピーが正常に完了しました。" ]
cmp "${v[0]}" "$box/002/$(name "${v[0]}")"
cmp "${v[0]%.vmdat}.vminf" "$box/002/$(name "${v[0]%.vmdat}.vminf")"

# A move meeting the copy: いいえ leaves that message whole where it was; the other one moves.
"$ctl" move "${v[0]}" "${v[1]}" --to rusuroku/002 2> "$dir/asked" > "$dir/move.json"
[ "$(outcomes "$dir/move.json")" = "declined done 音声メッセージの移動が正常に完了しました。" ]
grep -q "このﾌｫﾙﾀﾞには既に $(name "${v[0]%.vmdat}.vminf") ﾌｧｲﾙが存在します。" "$dir/asked"
[ -e "${v[0]}" ] && [ -e "${v[0]%.vmdat}.vminf" ] && [ ! -e "${v[1]}" ] && [ ! -e "${v[1]%.vmdat}.vminf" ]
[ -e "$box/002/$(name "${v[1]}")" ]

# 全て上書き: the message leaves box 001.
"$ctl" move "${v[0]}" --to rusuroku/002 --overwrite all > /dev/null 2>&1
[ ! -e "${v[0]}" ] && [ ! -e "${v[0]%.vmdat}.vminf" ] && [ -e "$box/002/$(name "${v[0]}")" ]

# Nothing done: an info-only message (its voice data gone), exit 1.
rm "${v[2]}"
rc=0; "$ctl" copy "${v[2]}" --to naisen/201 > "$dir/none.json" || rc=$?
[ "$rc" -eq 1 ]
[ "$(outcomes "$dir/none.json")" = "not-downloaded 音声ファイルがダウンロードされていません。" ]

# A destination that is no box of the folder, a bad answer: usage errors.
for args in "--to outou/x" "--to rusuroku/.." "--to rusuroku/999" "--to rusuroku/002 --overwrite yes"; do
    rc=0; "$ctl" move "${v[2]%.vmdat}.vminf" $args 2> /dev/null > /dev/null || rc=$?
    [ "$rc" -eq 2 ]
done
[ -e "${v[2]%.vmdat}.vminf" ]
# What a killed copy leaves (the recording info alone) is replaced without a question.
w="$box/002/$(name "${v[1]}")"
cp "${w%.vmdat}.vminf" "$box/001/"
"$ctl" copy "$w" --to rusuroku/001 2> "$dir/asked" > "$dir/resume.json"
[ "$(outcomes "$dir/resume.json")" = "done 音声メッセージのコピーが正常に完了しました。" ]
[ ! -s "$dir/asked" ]
cmp "$w" "$box/001/$(name "$w")"

# A move killed after it removed the source's recording info: the next move finishes it.
rm "${w%.vmdat}.vminf"
"$ctl" move "$w" --to rusuroku/001 > "$dir/finish.json"
[ "$(outcomes "$dir/finish.json")" = "done 音声メッセージの移動が正常に完了しました。" ]
[ ! -e "$w" ] && [ -e "$box/001/$(name "$w")" ] && [ -e "$box/001/$(name "${w%.vmdat}.vminf")" ]
[ -z "$(ls -A "$box/002" | grep "^$(name "${w%.vmdat}")" || true)" ]
echo ok
