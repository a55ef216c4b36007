# shellcheck shell=bash
# lib.sh: sourced by every bench/<name>/bench.sh. A bench prints its results as rows of the
# one table that bench/run.sh lays out: one line per row on standard output, five fields
# separated by tabs (benchmark, measure, result, unit, goal or reference); anything else it has
# to say goes to standard error. A result of four digits or more before its decimal point is
# shown with its thousands grouped (12,345.6).

# The repository's top directory, which holds build/, and where the build put what the benches
# run (OSF_I386, OSF_X86_64, OSF_KERNEL_DIR: build/i386/paths.sh, written when the i386 tree is
# configured).
# shellcheck disable=SC2034  # used by the bench scripts that source this file
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -f "$bench_root/build/i386/paths.sh" ]; then
    # shellcheck source=/dev/null
    . "$bench_root/build/i386/paths.sh"
fi

# row BENCHMARK MEASURE RESULT UNIT GOAL: one row of the table.
row() {
    printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5"
}

# i386_rows: copies rows from its input, marking the measure of each when the i386 programs it
# timed ran through an emulator (OSF_BENCH_I386_EMULATED=1, set by run.sh): such times are the
# emulator's, not the machine's.
i386_rows() {
    if [ "${OSF_BENCH_I386_EMULATED:-}" = 1 ]; then
        awk -F '\t' -v OFS='\t' '{ $2 = $2 " [i386 emulated]" } 1'
    else
        cat
    fi
}

# grouped NUMBER: a number with the thousands of its whole part grouped, for the measure texts
# (5,000) and run.sh's results (12,345.6).
grouped() {
    local whole=${1%%.*}
    whole=$(sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|,\)/\1,\2\3/' -e 'ta' <<<"$whole")
    printf '%s%s\n' "$whole" "${1#"${1%%.*}"}"
}

# bench_need NAME FILE...: stops bench NAME unless the build has made its paths file and every
# FILE.
bench_need() {
    local name=$1 file
    shift
    if [ -z "${OSF_I386:-}" ]; then
        echo "bench $name: build/i386/paths.sh is missing (run make first)" >&2
        exit 1
    fi
    for file in "$@"; do
        if [ ! -e "$file" ]; then
            echo "bench $name: ${file:-a file of the build} is missing (run make first)" >&2
            exit 1
        fi
    done
}
