#!/bin/bash
# Runs every benchmark (bench/<name>/bench.sh, after `make`) and prints one table of all their
# results in Markdown, headed by the machine and the date, so that it can be pasted into README
# as it stands. Each bench.sh prints its rows on standard output (see lib.sh) and its progress
# and troubles on standard error; a bench that fails gets a FAILED row, and run.sh then exits 1.
# Where i386 programs run through an emulator, the header says so and the rows that timed them
# are marked (lib.sh: i386_rows).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/lib.sh
. "$here/lib.sh"
benches=("$here"/*/bench.sh)

rows=$(mktemp /tmp/osfacets-bench-XXXXXX)
trap 'rm -f "$rows"' EXIT
cpu=$(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo | head -n 1)
load=$(cut -d ' ' -f 1 /proc/loadavg)
header="Benchmarks on $(hostname) ($cpu, $(nproc) cores, load $load at the start)"
header+=", $(date -u '+%Y-%m-%d %H:%M UTC')"
if [ -z "${OSF_BENCH_I386_EMULATED:-}" ] && [ -f "$bench_root/cmake/i386-exec.sh" ] &&
    [ "$(sh "$bench_root/cmake/i386-exec.sh" probe)" = emulated ]; then
    OSF_BENCH_I386_EMULATED=1
fi
export OSF_BENCH_I386_EMULATED
if [ "${OSF_BENCH_I386_EMULATED:-}" = 1 ]; then
    header+="; i386 programs ran through an emulator (qemu-user), their rows are marked [i386 emulated]"
fi

status=0
for bench in "${benches[@]}"; do
    name=$(basename "$(dirname "$bench")")
    echo "bench: $name ..." >&2
    start=$SECONDS
    if ! bash "$bench" >>"$rows"; then
        printf '%s\t%s\t%s\t%s\t%s\n' "$name" "(the bench failed: see its message above)" \
            FAILED - - >>"$rows"
        status=1
    fi
    echo "bench: $name done in $((SECONDS - start)) s" >&2
done

# The rows with their results grouped by thousands (grouped, lib.sh) where a result has four
# digits or more before its point.
grouped_results() {
    local tab=$'\t' line
    local number="^([^${tab}]*${tab}[^${tab}]*${tab})([0-9]{4,}(\\.[0-9]+)?)(${tab}.*|)$"
    while IFS= read -r line; do
        if [[ $line =~ $number ]]; then
            line=${BASH_REMATCH[1]}$(grouped "${BASH_REMATCH[2]}")${BASH_REMATCH[4]}
        fi
        printf '%s\n' "$line"
    done <"$1"
}

# The table: columns padded to their widest cell (counted in characters, not bytes: the units
# hold a µ), results aligned right.
echo
echo "$header"
echo
LC_ALL=C awk -F '\t' '
    function width(text,   copy) { copy = text; gsub(/[\200-\277]/, "", copy); return length(copy) }
    function repeat(char, n,   out) { out = ""; while (n-- > 0) out = out char; return out }
    function pad(text, w, right) {
        return right ? repeat(" ", w - width(text)) text : text repeat(" ", w - width(text))
    }
    function print_row(cells,   i, line) {
        line = "|"
        for (i = 1; i <= 5; i++) line = line " " pad(cells[i], w[i], i == 3) " |"
        print line
    }
    NF != 5 { printf "bench: a row without five fields: %s\n", $0 > "/dev/stderr"; bad = 1; next }
    { n++; for (i = 1; i <= 5; i++) { cell[n, i] = $i; if (width($i) > w[i]) w[i] = width($i) } }
    END {
        split("benchmark|measure|result|unit|goal or reference", head, "|")
        for (i = 1; i <= 5; i++) if (width(head[i]) > w[i]) w[i] = width(head[i])
        print_row(head)
        line = "|"
        for (i = 1; i <= 5; i++) line = line (i == 3 ? repeat("-", w[i] + 1) ":" : repeat("-", w[i] + 2)) "|"
        print line
        for (r = 1; r <= n; r++) {
            for (i = 1; i <= 5; i++) cells[i] = cell[r, i]
            print_row(cells)
        }
        exit bad
    }' <(grouped_results "$rows") || status=1
exit $status
