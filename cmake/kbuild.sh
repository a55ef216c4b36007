#!/bin/bash
# kbuild.sh KERNEL_ENV OUT MAKE_ARGUMENT...: builds modules/ (its Makefile) into OUT against the
# kernel that KERNEL_ENV names (tests/kernel/fetch.sh), with the compiler that kernel was built
# with: here, or in its build root (BUILD_ROOT) with only the modules' sources, OUT and the
# kernel's unpacked packages to be seen inside, each at its own path (cmake/build-root.sh).
set -euo pipefail
# shellcheck source=/dev/null
. "$1"
out=$2
shift 2
modules=$(cd "$(dirname "$0")/../modules" && pwd)
mkdir -p "$out"
cd "$modules"  # a folder that is there inside the build root too
build=(make -C "$modules" KDIR="$KDIR" OUT="$out" CC="$KERNEL_CC" "$@")
if [ -z "${BUILD_ROOT:-}" ]; then
    MAKEFLAGS='' exec "${build[@]}"
fi
exec bash "$(dirname "$0")/build-root.sh" run "$BUILD_ROOT" "$modules" "$out" "${KDIR%/usr/src/*}" \
    -- "${build[@]}"
