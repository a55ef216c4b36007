#!/bin/bash
# The shared-memory hand-over under overlap: 1,000 runs in which shmwriter and memreader start
# together, each writing a message of its own. A message is lost when the writer said "stored"
# and neither the overlapped reader nor the next run printed it. Needs the built i386 tree
# (make), and "/shared" to itself: run it where no one else uses the name (/work/isolate, a
# private /dev/shm). Prints rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
writer=${OSF_I386:-}/examples/shmwriter/shmwriter
reader=${OSF_I386:-}/shm/memreader
bench_need shm "$writer" "$reader"
runs=${OSF_BENCH_SHM_RUNS:-1000}
if [ -e /dev/shm/shared ]; then
    echo "bench shm: \"/shared\" is in use by another program" >&2
    exit 1
fi

work=$(mktemp -d /tmp/osfacets-shm-bench-XXXXXX)
trap 'rm -rf "$work"; rm -f /dev/shm/shared' EXIT
overlapped=0 next_run=0 lost=0
for ((i = 1; i <= runs; i++)); do
    "$writer" "message $i" >"$work/w" 2>&1 &
    "$reader" >"$work/r" 2>&1 &
    wait
    grep -q '^stored' "$work/w" || { echo "bench shm: run $i: the writer failed" >&2; exit 1; }
    if grep -q "^Read data from memory : message $i $" "$work/r"; then
        overlapped=$((overlapped + 1))
    elif "$reader" 2>/dev/null | grep -q "^Read data from memory : message $i $"; then
        next_run=$((next_run + 1))
    else
        lost=$((lost + 1))
    fi
    rm -f /dev/shm/shared  # what is left, even an empty object, goes before the next run
done
measure="$(grouped "$runs") overlapped shmwriter and memreader runs"
goal="goal 0: met"
[ "$lost" = 0 ] || goal="goal 0: missed"
{
    row shm "$measure: messages lost" "$lost" messages "$goal"
    row shm "$measure: read by the overlapped memreader" "$overlapped" runs "-"
    row shm "$measure: left for the next run" "$next_run" runs "-"
} | i386_rows
