#!/bin/bash
# link_test.sh INSTALLED PARTNER_DIR: checks treemenu.o and treemenu.h in the installed tree
# INSTALLED as an outside C program uses them: an i386 relocatable object that needs nothing
# from the C++ runtime, whose module-wide variables are weak, and that links with gcc -m32 to
# partners that define those variables, hold them as common symbols, or leave them out. (No
# -e: a failing command inside a check is that check's failure.)
set -uo pipefail
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../tests/checks.sh"
partners=$2
make_scratch treemenu-link
object=$1/lib/osfacets/treemenu.o
include=$1/include/osfacets

expect_equal "treemenu.o" "$(sh "$(dirname "$0")/../tests/elf-kind.sh" "$object")" "ELF32 i386 REL"
check "include/osfacets/treemenu.h" test -f "$include/treemenu.h"
expect_equal "treemenu.o needs nothing from the C++ runtime" "$(cxx_runtime_needs "$object")" ""
expect_equal "treemenu.o defines main" "$(nm "$object" | awk '$3 == "main" {print $2}')" "T"
for symbol in arr i j min temp option; do
    expect_equal "treemenu.o defines $symbol weakly" \
        "$(nm "$object" | awk -v s="$symbol" '$3 == s {print $2}')" "V"
done

# variant | compile flags | what option 1 shows the first time | and the second time
while IFS='|' read -r variant flags first second; do
    program=$scratch/partner-$variant
    # shellcheck disable=SC2086  # $flags holds one flag or none
    if ! gcc -m32 -std=c11 -Wall -Wextra -Werror $flags "-DVARIABLES_${variant^^}" \
        -I"$include" "$partners/partner.c" "$object" -o "$program"; then
        bad "partner with $variant variables does not link"
        continue
    fi
    expect_equal "partner with $variant variables: one arr in the program" \
        "$(nm "$program" | awk '$3 == "arr"' | wc -l)" "1"
    seen=$(printf '1\n1\n0\n' | "$program" | grep '^partner sees' | tr '\n' '|')
    expect_equal "partner with $variant variables: what sort sees" "$seen" "$first|$second|"
    status=0
    printf '2\n5\n3\n7\n5\n3\n0\n' | "$program" >"$scratch/out" || status=$?
    expect_equal "partner with $variant variables: tree dialogue ends with status 0" "$status" "0"
    expect_equal "partner with $variant variables: root threaded" \
        "$(grep '^holds' "$scratch/out" | tr '\n' '|')" "holds 5|holds -1|"
done <<'VARIANTS'
strong|-fno-common|partner sees arr[0]=42 i=1 j=2 min=3 temp=4 option=5|partner sees arr[0]=142 i=101 j=2 min=3 temp=4 option=105
common|-fcommon|partner sees arr[0]=0 i=0 j=0 min=0 temp=0 option=0|partner sees arr[0]=100 i=100 j=0 min=0 temp=0 option=100
none|-fno-common|partner sees arr[0]=0 i=0 j=0 min=0 temp=0 option=0|partner sees arr[0]=100 i=100 j=0 min=0 temp=0 option=100
VARIANTS
checks_done treemenu_link
