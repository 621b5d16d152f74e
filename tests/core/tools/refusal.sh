# Sourced by the voxmgctl tests of refusals; needs $dir.
# refusal WHAT EXIT TEXT COMMAND...: COMMAND changes nothing and says so, exiting EXIT ("any" for
# any non-zero status) with TEXT in what it prints (stdout or stderr).
refusal() {
    local what="$1" want="$2" text="$3" rc=0
    shift 3
    "$@" > "$dir/refusal.out" 2> "$dir/refusal.err" || rc=$?
    if [ "$rc" -eq 0 ] || { [ "$want" != any ] && [ "$rc" -ne "$want" ]; }; then
        echo "$what: exit $rc, not $want"; cat "$dir/refusal.err" "$dir/refusal.out"; exit 1
    fi
    grep -qF -- "$text" "$dir/refusal.err" "$dir/refusal.out" || {
        echo "$what: exit $rc without \"$text\""; cat "$dir/refusal.err" "$dir/refusal.out"; exit 1; }
}
