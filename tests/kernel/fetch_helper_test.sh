#!/bin/bash
# fetch_helper_test.sh FETCH_SH WORK_DIR: fetch.sh --check-helper tells apart the two reasons
# kbuild's i386 helpers cannot run: the host cannot execute such programs at all (exec format
# error) or their C library is missing (no program loader). Both are played by small programs
# built here: one whose ELF header names a machine no host runs, one that asks for a loader
# that does not exist; a third runs and passes.
set -uo pipefail
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
fetch=$1
work=$2
mkdir -p "$work"
printf 'int main(void) { return 0; }\n' >"$work/helper.c"
gcc -m32 -o "$work/runs" "$work/helper.c" &&
    gcc -m32 -Wl,--dynamic-linker=/nonexistent/ld-linux.so.2 -o "$work/no-loader" "$work/helper.c" &&
    cp "$work/runs" "$work/foreign" &&
    printf '\377\377' | dd of="$work/foreign" bs=1 seek=18 conv=notrunc status=none || exit 1

expect() {  # expect PROGRAM STATUS MESSAGE: fetch.sh's status and standard error for PROGRAM
    local err status=0
    err=$(bash "$fetch" --check-helper "$work/$1" 2>&1 >/dev/null) || status=$?
    # MESSAGE is a pattern (it may hold a *), so it stays unquoted.
    # shellcheck disable=SC2053
    if [ "$status" -eq "$2" ] && [[ $err == $3 ]]; then ok "$1"; else bad "$1: status $status, said: $err"; fi
}
expect runs 0 ""
expect foreign 1 "kernel: this host cannot execute i386 programs such as kbuild's $work/foreign; \`make deps\` (as root) sets up Debian's qemu-user-static for them"
expect no-loader 1 "kernel: the i386 C library is missing (install g++-multilib: make deps)"
checks_done kernel_fetch_helper_check
