#!/bin/bash
# check_install.sh INSTALLED ARCH PROGRAM|PAGE...: checks the tree installed in INSTALLED: each
# PROGRAM is in bin/ as an executable of ARCH (i386 or x86_64: the tree that delivers it), and
# each PAGE (a path such as share/man/man1/replier.1) is there as a manual page.
set -uo pipefail
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
installed=$1
# A position-independent executable is of the type DYN, as a shared object is.
case $2 in i386) expected="ELF32 i386 DYN" ;; x86_64) expected="ELF64 x86-64 DYN" ;; esac
shift 2

for program in "$@"; do
    if [[ $program == */* ]]; then
        check "$program is a manual page" grep -qs '^\.TH ' "$installed/$program"
    elif [ ! -x "$installed/bin/$program" ]; then
        bad "bin/$program is missing"
    else
        expect_equal "bin/$program" "$(sh "$(dirname "$0")/../elf-kind.sh" "$installed/bin/$program")" \
            "$expected"
    fi
done
checks_done check_install
