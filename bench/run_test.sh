#!/bin/bash
# run_test.sh: checks bench/run.sh's table on stand-in benches (no real benchmark runs): the
# rows of every bench in one table, columns padded by characters (a µ is one), results grouped
# by thousands and aligned right; a failing bench keeps its rows, gets a FAILED row and makes
# run.sh exit 1; a malformed row is refused; rows of i386 programs run under emulation are
# marked. Run by CTest (bench/CMakeLists.txt).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../tests/checks.sh"
make_scratch osfacets-bench-test
cp "$here/run.sh" "$here/lib.sh" "$scratch/"
mkdir "$scratch/fast" "$scratch/slow"
cat >"$scratch/fast/bench.sh" <<'BENCH'
. "$(dirname "$0")/../lib.sh"
row fast "one thing" 12345.6 "µs/call" "goal < 1 s: met"
row fast "another" 7 ms ""
BENCH
cat >"$scratch/slow/bench.sh" <<'BENCH'
. "$(dirname "$0")/../lib.sh"
row slow "got this far" 1234567 lines/s reference
echo "slow: something broke" >&2
exit 3
BENCH

out=$(bash "$scratch/run.sh" 2>"$scratch/err")
expect_equal "exit status with a failing bench" "$?" 1
check "header names the machine and the date" \
    grep -q "^Benchmarks on $(hostname) (.*, [0-9]* cores, .*UTC\$" <(sed -n 2p <<<"$out")
expected='| benchmark | measure                                   |    result | unit    | goal or reference |
|-----------|-------------------------------------------|----------:|---------|-------------------|
| fast      | one thing                                 |  12,345.6 | µs/call | goal < 1 s: met   |
| fast      | another                                   |         7 | ms      |                   |
| slow      | got this far                              | 1,234,567 | lines/s | reference         |
| slow      | (the bench failed: see its message above) |    FAILED | -       | -                 |'
expect_equal "table" "$(tail -n +4 <<<"$out")" "$expected"
expect_equal "the failing bench's message, once" "$(grep -c '^slow: something broke$' "$scratch/err")" 1

# Without the failing bench, but with a row of four fields: refused, status 1.
rm -r "$scratch/slow"
printf 'printf "fast\\tshort\\t1\\tms\\n"\n' >>"$scratch/fast/bench.sh"
out=$(bash "$scratch/run.sh" 2>"$scratch/err")
expect_equal "exit status with a malformed row" "$?" 1
expect_equal "malformed row named, once" "$(grep -c 'a row without five fields: fast' "$scratch/err")" 1

# Everything well: status 0.
sed -i '$d' "$scratch/fast/bench.sh"
bash "$scratch/run.sh" >/dev/null 2>&1
expect_equal "exit status when every bench runs" "$?" 0

# i386 programs under emulation: the header says so; rows passed through i386_rows are marked,
# the others are not.
printf 'row fast "timed i386" 3 ms "" | i386_rows\n' >>"$scratch/fast/bench.sh"
out=$(OSF_BENCH_I386_EMULATED=1 bash "$scratch/run.sh" 2>/dev/null)
check "header notes the emulator" grep -q 'i386 programs ran through an emulator' <(sed -n 2p <<<"$out")
expect_equal "i386 rows marked" "$(grep -c '| timed i386 \[i386 emulated\] ' <<<"$out")" 1
expect_equal "other rows unmarked" "$(grep -c '| one thing  *|' <<<"$out")" 1

checks_done bench_table
