#!/bin/bash
# kbuild.sh KERNEL_ENV OUT MAKE_ARGUMENT...: builds modules/ (its Makefile) into OUT against the
# kernel that KERNEL_ENV names (tests/kernel/fetch.sh), in that kernel's root (ROOT), whose
# headers name the compiler the kernel was built with. Only the modules' sources and OUT are
# seen inside, each at its own path (cmake/root.sh).
set -euo pipefail
# shellcheck source=/dev/null
. "$1"
out=$2
shift 2
modules=$(cd "$(dirname "$0")/../modules" && pwd)
mkdir -p "$out"
cd "$modules"  # a folder that is there inside the root too
exec bash "$(dirname "$0")/root.sh" run "$ROOT" "$modules" "$out" \
    -- make -C "$modules" KDIR="$KDIR" OUT="$out" "$@"
