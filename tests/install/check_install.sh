#!/bin/bash
# check_install.sh BUILD_DIR PROGRAM|PAGE...: installs BUILD_DIR into a scratch prefix and checks
# that each PROGRAM is in bin/ as an executable of its architecture (snoozefork alone is
# x86-64, everything else i386), and that each PAGE (a path such as share/man/man1/replier.1)
# is there as a manual page.
set -euo pipefail
build=$1
shift
prefix=$(mktemp -d /tmp/osfacets-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for program in "$@"; do
    if [[ $program == */* ]]; then
        if [ -s "$prefix/$program" ] && grep -q '^\.TH ' "$prefix/$program"; then
            echo "ok: $program: manual page"
        else
            echo "FAIL: $program is missing or is no manual page"
            fail=1
        fi
        continue
    fi
    path=$prefix/bin/$program
    if [ ! -x "$path" ]; then
        echo "FAIL: bin/$program is missing"
        fail=1
        continue
    fi
    # A position-independent executable is of the type DYN, as a shared object is.
    expected="ELF32 i386 DYN"
    [ "$program" = snoozefork ] && expected="ELF64 x86-64 DYN"
    kind=$(sh "$(dirname "$0")/../elf-kind.sh" "$path")
    if [ "$kind" = "$expected" ]; then
        echo "ok: bin/$program: $kind"
    else
        echo "FAIL: bin/$program is '$kind', expected '$expected'"
        fail=1
    fi
done
exit $fail
