#!/bin/bash
# numcheck throughput: builds numcheck_bench.c with gcc -m32 -O2 against the i386 numcheck.o
# of the build tree (the object that is installed), runs it and prints its rows of the
# benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
root=$bench_root
: "${OSF_I386:=$root/build/i386}"
object=$OSF_I386/calc/numcheck.o
bench_need numcheck "$object"
scratch=$(mktemp -d /tmp/osfacets-bench-numcheck-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
gcc -m32 -O2 -std=c11 -Wall -Wextra -Werror -I"$root/calc" -o "$scratch/numcheck_bench" \
    "$here/numcheck_bench.c" "$object"
"$scratch/numcheck_bench" | i386_rows
