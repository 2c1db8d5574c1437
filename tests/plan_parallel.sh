#!/usr/bin/env bash
# Four controllers on four ports, tested in parallel with the end-of-line example plan: three
# pass, and the one whose moves end 5 pulses short fails. junitparser, a reader of its own,
# must find one suite per controller with the right counts, and the JSON the same verdicts.
#   plan_parallel.sh SIM CLI PLAN JUNIT_COUNTS
set -euo pipefail
sim=$1 cli=$2 plan=$3 counts=$4
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT
for n in 1 2 3; do "$sim" --quiet --link "$dir/sim$n" & done
"$sim" --quiet --link "$dir/sim4" --fault lose-steps=5 &
timeout 10 bash -c "until [ -e $dir/sim1 ] && [ -e $dir/sim2 ] && [ -e $dir/sim3 ] && [ -e $dir/sim4 ]; do sleep 0.02; done"

status=0
"$cli" test "$plan" --port "$dir/sim1" --port "$dir/sim2" --port "$dir/sim3" --port "$dir/sim4" \
    --junit "$dir/eol.xml" --json "$dir/eol.json" >"$dir/out.txt" || status=$?
cat "$dir/out.txt"
[ "$status" = 1 ] || { echo "exit status $status, expected 1 (one unit fails)"; exit 1; }
grep -q "sim4 station 01\] 14/20 position: fail, 9995 pulses" "$dir/out.txt"

passed=":20:0:0:0"
"$counts" "$dir/eol.xml" "$dir/sim1 station 01$passed" "$dir/sim2 station 01$passed" \
    "$dir/sim3 station 01$passed" "$dir/sim4 station 01:20:2:0:0"
/usr/bin/python3 - "$dir/eol.json" <<'PY'
import json, sys
verdicts = [c["outcome"] for c in json.load(open(sys.argv[1]))["controllers"]]
sys.exit(None if verdicts == ["pass", "pass", "pass", "fail"] else f"verdicts {verdicts}")
PY
