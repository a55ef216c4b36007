#!/bin/bash
# object_shape_test.sh INSTALLED HOST_SOURCE: checks that ringmenu.o, in the installed tree
# INSTALLED, is what a plain C host can link: one i386 relocatable object, defining the list's interface with C names and
# nothing else global, needing nothing from the C++ runtime, and linked by the plain command
# line `gcc -m32 host.c ringmenu.o` into a program that runs.
set -uo pipefail
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../tests/checks.sh"
object=$1/lib/osfacets/ringmenu.o headers=$1/include/osfacets host=$2

expect_equal "ringmenu.o" "$(sh "$(dirname "$0")/../tests/elf-kind.sh" "$object")" "ELF32 i386 REL"
# The compiler's i386 PC thunks are hidden helpers that every PIC object carries.
expect_equal "ringmenu.o's global symbols" \
    "$(nm -g --defined-only "$object" | awk '{print $3}' | grep -v '^__x86\.get_pc_thunk\.' | sort | xargs)" \
    "c_p c_temp cir_del_beg cir_del_end cir_del_pos cir_ins_beg cir_ins_end cir_ins_pos cir_search cir_sll_display end ringmenu size"
expect_equal "ringmenu.o needs nothing from the C++ runtime" "$(cxx_runtime_needs "$object")" ""
check "cir_display is left to the host" grep -qw cir_display <(nm -u "$object")

make_scratch ringmenu-host
if check "gcc -m32 $(basename "$host") ringmenu.o links" \
    gcc -m32 -Wall -Wextra -Werror -I "$headers" "$host" "$object" -o "$scratch/host"; then
    status=0
    out=$(printf '3\nn\n' | TERM=dumb timeout 10 "$scratch/host") || status=$?
    expect_equal "the host linked by gcc: exit status" "$status" 0
    check "the host linked by gcc runs the menus" grep -qF "INVALID option enter 1 or 2" <<<"$out"
fi
checks_done ringmenu_object_shape
