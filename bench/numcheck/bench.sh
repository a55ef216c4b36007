#!/bin/bash
# numcheck throughput: runs numcheck_bench, built in the i386 tree with numcheck.o itself (the
# object that is installed), and prints its rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
driver=${OSF_I386:-}/bench/numcheck_bench
bench_need numcheck "$driver"
"$driver" | i386_rows
