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
    if [ "$program" = snoozefork ]; then
        expected="ELF 64-bit LSB pie executable, x86-64"
    else
        expected="ELF 32-bit LSB pie executable, Intel 80386"
    fi
    kind=$(file -b "$path")
    case "$kind" in
        "$expected"*) echo "ok: bin/$program: ${kind%%,*}, ${expected#*, }" ;;
        *) echo "FAIL: bin/$program is '$kind', expected '$expected'"; fail=1 ;;
    esac
done
exit $fail
