#!/bin/bash
# check_calc_package.sh INSTALLED: copies the installed tree INSTALLED elsewhere (calc.pc must
# find its prefix from its own place), and checks the calc package there the way an outside C
# program meets it:
#   - libcalc.so.1.0.0 with its links and SONAME libcalc.so.1, defining exactly sum, mul, dif
#     and divi, and needing nothing of the C++ runtime;
#   - addmul.o, subdiv.o and numcheck.o as i386 relocatable objects holding their functions;
#   - calc_client.c built with gcc -m32 $(pkg-config --cflags --libs calc) and, separately,
#     statically from the three objects: both runs print the expected results;
#   - the #include line of each section-3 page's SYNOPSIS, and the C programs of its EXAMPLES,
#     compile with $(pkg-config --cflags calc), the folder of every installed header.
# No -e: a failing command inside a check is that check's failure.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../checks.sh"
elf_kind=$here/../elf-kind.sh
root=$(cd "$here/../.." && pwd)
make_scratch osfacets-calc

if ! cp -a "$1" "$scratch/moved"; then
    echo "FAIL: copying the installed tree $1"
    exit 1
fi
P=$scratch/moved

# The library, its links and its dynamic section.
if [ -f "$P/lib/libcalc.so.1.0.0" ] && [ ! -L "$P/lib/libcalc.so.1.0.0" ]; then
    ok "lib/libcalc.so.1.0.0 is a file"
else
    bad "lib/libcalc.so.1.0.0 is missing"
fi
expect_equal "lib/libcalc.so.1 links to" "$(readlink "$P/lib/libcalc.so.1" || true)" libcalc.so.1.0.0
expect_equal "lib/libcalc.so resolves to" \
    "$(basename "$(readlink -f "$P/lib/libcalc.so" || true)")" libcalc.so.1.0.0
lib=$P/lib/libcalc.so.1.0.0
expect_equal "libcalc's ELF class, machine and type" "$(sh "$elf_kind" "$lib")" "ELF32 i386 DYN"
expect_equal "SONAME" "$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" libcalc.so.1
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
case "$needed" in
    *libstdc++*|*libgcc_s*) bad "libcalc needs the C++ runtime: $needed" ;;
    *) ok "libcalc needs no C++ runtime (NEEDED: ${needed:-none})" ;;
esac
expect_equal "libcalc's defined dynamic symbols" \
    "$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ')" "dif divi mul sum "

# The objects: relocatable i386, each holding its own functions, none needing the C++ runtime.
for entry in "addmul:mul sum " "subdiv:dif divi " "numcheck:numcheck "; do
    unit=${entry%%:*}
    obj=$P/lib/osfacets/$unit.o
    if [ ! -f "$obj" ]; then bad "lib/osfacets/$unit.o is missing"; continue; fi
    expect_equal "$unit.o's ELF class, machine and type" "$(sh "$elf_kind" "$obj")" "ELF32 i386 REL"
    expect_equal "$unit.o global definitions" \
        "$(nm -g --defined-only "$obj" | awk '{print $NF}' | sort | tr '\n' ' ')" "${entry#*:}"
    expect_equal "$unit.o needs nothing from the C++ runtime" "$(cxx_runtime_needs "$obj")" ""
done
for header in calc.h numcheck.h; do
    check "include/osfacets/$header" test -f "$P/include/osfacets/$header"
done

# The client, built as an outside program would build it, both ways.
export PKG_CONFIG_LIBDIR=$P/lib/pkgconfig PKG_CONFIG_PATH=
cflags=(-m32 -std=c99 -pedantic -Wall -Wextra -Werror)
# shellcheck disable=SC2046
gcc "${cflags[@]}" -o "$scratch/client-shared" "$here/calc_client.c" "$P/lib/osfacets/numcheck.o" \
    $(pkg-config --cflags --libs calc) || bad "the pkg-config client does not build"
gcc "${cflags[@]}" -I"$P/include/osfacets" -o "$scratch/client-static" "$here/calc_client.c" \
    "$P/lib/osfacets/addmul.o" "$P/lib/osfacets/subdiv.o" "$P/lib/osfacets/numcheck.o" ||
    bad "the static client does not build"
if readelf -d "$scratch/client-shared" | grep -q 'NEEDED.*\[libcalc\.so\.1\]'; then
    ok "the pkg-config client needs libcalc.so.1"
else
    bad "the pkg-config client does not need libcalc.so.1"
fi
if readelf -d "$scratch/client-static" | grep -q 'NEEDED.*libcalc'; then
    bad "the static client needs libcalc"
else
    ok "the static client needs no libcalc"
fi

for kind in shared static; do
    actual=$(LD_LIBRARY_PATH=$P/lib "$scratch/client-$kind" <"$here/client_input.txt")
    if [ "$actual" = "$(cat "$here/client_expected.txt")" ]; then
        ok "the $kind client prints the expected results"
    else
        bad "the $kind client's output differs:"
        diff <(echo "$actual") "$here/client_expected.txt" || true
    fi
done

# The manual pages' include lines and C examples, as a reader copies them (scdoc writes a
# backslash as two).
for page in calc/calc.3.scd calc/numcheck.3.scd ringlist/ringmenu.3.scd treemenu/treemenu.3.scd; do
    include=$(awk '/^# /{s=($0=="# SYNOPSIS")} s&&/^\*#include </{gsub(/\*/,""); print}' "$root/$page")
    if [ -z "$include" ]; then bad "$page: no #include line in the SYNOPSIS"; continue; fi
    printf '%s\nint main(void) { return 0; }\n' "$include" >"$scratch/synopsis.c"
    # shellcheck disable=SC2046
    if gcc "${cflags[@]}" -fsyntax-only $(pkg-config --cflags calc) "$scratch/synopsis.c" 2>"$scratch/gcc.txt"; then
        ok "$page: $include compiles against the installed tree"
    else
        bad "$page: $include does not compile: $(head -3 "$scratch/gcc.txt")"
    fi
    awk -v out="$scratch/example" '
        /^```/ { if (inside) { close(file); inside = 0 } else { inside = 1; file = out "-" ++n ".c" } next }
        inside { gsub(/\\\\/, "\\"); print > file }' "$root/$page"
    for example in "$scratch"/example-*.c; do
        grep -qs '^#include' "$example" || continue
        # shellcheck disable=SC2046
        if gcc "${cflags[@]}" -fsyntax-only $(pkg-config --cflags calc) "$example" 2>"$scratch/gcc.txt"; then
            ok "$page: the example program compiles against the installed tree"
        else
            bad "$page: the example program does not compile: $(head -3 "$scratch/gcc.txt")"
        fi
    done
    rm -f "$scratch"/example-*.c
done
checks_done calc_package
