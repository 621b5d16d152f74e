# Sourced by the voxmgctl tests that need a main unit: a scratch folder removed at exit, the
# simulator with demo content as its own process on a free port ($port), and the password
# file "$dir/pw". Expects $sim to name voxmg-sim.
dir=$(mktemp -d)
simpid=""
cleanup() {
    if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; fi
    rm -rf "$dir"
}
trap cleanup EXIT

"$sim" --demo "$dir/unit" --port 0 > "$dir/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 1 100); do
    grep -q '^listening' "$dir/sim.out" 2>/dev/null && break
    sleep 0.05
done
port=$(sed -n 's/^listening [0-9.]*:\([0-9]*\)$/\1/p' "$dir/sim.out")
[ -n "$port" ]
echo hozen > "$dir/pw"
