#!/bin/bash
# The tour: runs every stop in tests/tour/stops/ in order, each showing one deliverable at work
# as a person at a terminal would see it. Exits non-zero if any stop fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
failed=()
for stop in "$here"/stops/*.sh; do
    if ! bash "$stop"; then
        failed+=("$(basename "$stop")")
    fi
done
echo
if [ ${#failed[@]} -gt 0 ]; then
    echo "tour: failed stops: ${failed[*]}"
    exit 1
fi
echo "tour: every stop ran"
