#!/bin/bash
# object_shape_test.sh OBJECT HEADER_DIR HOST_SOURCE: checks that ringmenu.o is what a plain C
# host can link: one i386 relocatable object, defining the list's interface with C names and
# nothing else global, needing nothing from the C++ runtime, and linked by the plain command
# line `gcc -m32 host.c ringmenu.o` into a program that runs.
set -uo pipefail
object=$1 headers=$2 host=$3
fail=0

kind=$(sh "$(dirname "$0")/../tests/elf-kind.sh" "$object")
if [ "$kind" != "ELF32 i386 REL" ]; then
    echo "FAIL: $object is '$kind', expected 'ELF32 i386 REL'"
    fail=1
fi

expected="c_p c_temp cir_del_beg cir_del_end cir_del_pos cir_ins_beg cir_ins_end cir_ins_pos cir_search cir_sll_display end ringmenu size"
# The compiler's i386 PC thunks are hidden helpers that every PIC object carries.
defined=$(nm -g --defined-only "$object" | awk '{print $3}' | grep -v '^__x86\.get_pc_thunk\.' | sort | xargs)
if [ "$defined" != "$expected" ]; then
    echo "FAIL: global symbols are '$defined', expected '$expected'"
    fail=1
fi

cxx=$(nm -u "$object" | awk '{print $2}' | grep -E '^(_Z|__cxa_|__gxx_|_Unwind_)' | xargs)
if [ -n "$cxx" ]; then
    echo "FAIL: needs the C++ runtime: $cxx"
    fail=1
fi
if ! nm -u "$object" | grep -qw cir_display; then
    echo "FAIL: cir_display is not left to the host"
    fail=1
fi
scratch=$(mktemp -d /tmp/ringmenu-host-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
if ! gcc -m32 -Wall -Wextra -Werror -I "$headers" "$host" "$object" -o "$scratch/host"; then
    echo "FAIL: gcc -m32 $(basename "$host") ringmenu.o does not link"
    fail=1
elif ! out=$(printf '3\nn\n' | TERM=dumb timeout 10 "$scratch/host") ||
    [[ "$out" != *"INVALID option enter 1 or 2"* ]]; then
    echo "FAIL: the host linked by gcc does not run the menus: '$out'"
    fail=1
fi

[ $fail -eq 0 ] && echo "ok: $kind; exports: $defined"
exit $fail
