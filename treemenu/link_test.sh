#!/bin/bash
# link_test.sh BUILD_DIR PARTNER_DIR: installs BUILD_DIR into a scratch prefix and checks
# treemenu.o and treemenu.h there as an outside C program uses them: an i386 relocatable
# object that needs nothing from the C++ runtime, whose module-wide variables are weak, and
# that links with gcc -m32 to partners that define those variables, hold them as common
# symbols, or leave them out. Every check runs and reports, also after one has failed (no -e: a
# failing command inside a check is that check's failure); the status is 1 if any failed.
set -uo pipefail
build=$1
partners=$2
scratch=$(mktemp -d /tmp/treemenu-link-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
object=$scratch/prefix/lib/osfacets/treemenu.o
include=$scratch/prefix/include/osfacets

fail=0
check() {  # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        printf 'FAIL: %s\n  got:      %s\n  expected: %s\n' "$1" "$2" "$3"
        fail=1
    fi
}

check "treemenu.o is an i386 relocatable object" \
    "$(sh "$(dirname "$0")/../tests/elf-kind.sh" "$object")" "ELF32 i386 REL"
[ -f "$include/treemenu.h" ] || { echo "FAIL: include/osfacets/treemenu.h missing"; fail=1; }

runtime=$(nm -u "$object" | awk '{print $2}' | grep -E '^(_Z|__cxa|__gxx|_Unwind)')
check "treemenu.o needs nothing from the C++ runtime" "$runtime" ""
check "treemenu.o defines main" "$(nm "$object" | awk '$3 == "main" {print $2}')" "T"
for symbol in arr i j min temp option; do
    check "treemenu.o defines $symbol weakly" \
        "$(nm "$object" | awk -v s="$symbol" '$3 == s {print $2}')" "V"
done

# variant | compile flags | what option 1 shows the first time | and the second time
while IFS='|' read -r variant flags first second; do
    program=$scratch/partner-$variant
    # shellcheck disable=SC2086  # $flags holds one flag or none
    if ! gcc -m32 -std=c11 -Wall -Wextra -Werror $flags "-DVARIABLES_${variant^^}" \
        -I"$include" "$partners/partner.c" "$object" -o "$program"; then
        echo "FAIL: partner with $variant variables does not link"
        fail=1
        continue
    fi
    check "partner with $variant variables: one arr in the program" \
        "$(nm "$program" | awk '$3 == "arr"' | wc -l)" "1"
    seen=$(printf '1\n1\n0\n' | "$program" | grep '^partner sees' | tr '\n' '|')
    check "partner with $variant variables: what sort sees" "$seen" "$first|$second|"
    status=0
    printf '2\n5\n3\n7\n5\n3\n0\n' | "$program" >"$scratch/out" || status=$?
    check "partner with $variant variables: tree dialogue ends with status 0" "$status" "0"
    check "partner with $variant variables: root threaded" \
        "$(grep '^holds' "$scratch/out" | tr '\n' '|')" "holds 5|holds -1|"
done <<'VARIANTS'
strong|-fno-common|partner sees arr[0]=42 i=1 j=2 min=3 temp=4 option=5|partner sees arr[0]=142 i=101 j=2 min=3 temp=4 option=105
common|-fcommon|partner sees arr[0]=0 i=0 j=0 min=0 temp=0 option=0|partner sees arr[0]=100 i=100 j=0 min=0 temp=0 option=100
none|-fno-common|partner sees arr[0]=0 i=0 j=0 min=0 temp=0 option=0|partner sees arr[0]=100 i=100 j=0 min=0 temp=0 option=100
VARIANTS
exit $fail
