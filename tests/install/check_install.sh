#!/bin/bash
# check_install.sh BUILD_DIR PROGRAM...: installs BUILD_DIR into a scratch prefix and checks
# that each PROGRAM is in bin/ as an executable of its architecture (snoozefork alone is
# x86-64, everything else i386).
set -euo pipefail
build=$1
shift
prefix=$(mktemp -d /tmp/osfacets-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for program in "$@"; do
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
