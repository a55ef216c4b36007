#!/bin/bash
# The calc library and numcheck as an outside C program meets them: the i386 tree installed
# into a scratch prefix P, a small C client built there with gcc -m32 and pkg-config, then run:
# a few fixed calls, and pairs of typed lines checked by numcheck and fed to the four functions.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

tour_stop "calc and numcheck: a C client of the installed libcalc.so.1 and numcheck.o"
scratch=$(mktemp -d "$OSF_I386/tour-calc-XXXXXX")  # a program is built and run there: not /tmp
trap 'rm -rf "$scratch"; tour_cleanup' EXIT
cmake --install "$OSF_I386" --prefix "$scratch/P" >/dev/null
cp "$OSF_ROOT/tests/calc-c-client/calc_client.c" "$scratch/"

# A shell in the scratch directory: build the client the way its author would.
cd "$scratch"
tour_session build env PS1='$ ' bash --norc --noprofile
tour_wait build "$"
tour_type build "export PKG_CONFIG_PATH=P/lib/pkgconfig"
tour_type build "pkg-config --cflags --libs calc"
tour_wait build "-lcalc"
# shellcheck disable=SC2016  # typed at the terminal's shell, which expands it
tour_type build 'gcc -m32 -o calc_client calc_client.c P/lib/osfacets/numcheck.o $(pkg-config --cflags --libs calc) && readelf -h calc_client | grep -E "Class|Machine"'
tour_wait build "Intel 80386" 30
tour_type build "readelf -d calc_client | grep NEEDED"
tour_wait build "[libcalc.so.1]"
tour_type build "nm -D --defined-only P/lib/libcalc.so"
tour_wait build " T sum"

# The client: typed lines go through numcheck (its sign is skipped: -5 gives 5; 4x is invalid).
tour_session client env LD_LIBRARY_PATH="$scratch/P/lib" "$scratch/calc_client"
tour_wait client "a?"
tour_type client "42"
tour_wait client "b?"
tour_type client "-5"
tour_wait client "divi(42, 5) = 8"
tour_type client "2147483647"
tour_wait client "b?" 10 2
tour_type client "1"
tour_wait client "sum(2147483647, 1) = -2147483648"
tour_type client "4x"
tour_wait client "b?" 10 3
tour_type client "0"
tour_wait client "divi(36, 0) not called"
tour_keys client C-d
tour_wait client "a?" 10 4

tour_show build "a shell: building the client against the installed tree P"
tour_show client "calc_client (typed: 42, -5, 2147483647, 1, 4x, 0, then Ctrl-D)"
