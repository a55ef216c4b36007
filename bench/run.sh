#!/bin/bash
# Runs every benchmark (bench/*/bench.sh) and prints its table.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shopt -s nullglob
benches=("$here"/*/bench.sh)
if [ ${#benches[@]} -eq 0 ]; then
    echo "bench: no benchmark exists yet"
    exit 0
fi
status=0
for bench in "${benches[@]}"; do
    bash "$bench" || status=1
done
exit $status
