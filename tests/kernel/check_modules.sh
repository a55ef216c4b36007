#!/bin/bash
# check_modules.sh BUILD_DIR KERNEL_ENV: checks the two built modules without booting them:
# `cmake --install` puts them in lib/osfacets/modules/ as i386 relocatable objects, their
# metadata names the module, the licence, the devname parameter and the kernel release they
# were built for, and they carry the frame's names.
set -euo pipefail
build=$1
# shellcheck source=/dev/null
. "$2"
prefix=$(mktemp -d /tmp/osfacets-modules-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
check() {  # check WHAT CONDITION...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; fail=1; fi
}
for module in tasklister dirscan; do
    ko=$prefix/lib/osfacets/modules/$module.ko
    check "$module.ko installed" test -f "$ko" || continue
    check "$module.ko is an i386 relocatable object" \
        grep -q 'ELF 32-bit LSB relocatable, Intel 80386' <<<"$(file -b "$ko")"
    info=$(objcopy -O binary --only-section=.modinfo "$ko" /dev/stdout | tr '\0' '\n')
    for line in "name=$module" "license=Dual BSD/GPL" "parmtype=devname:charp"; do
        check "$module.ko: $line" grep -qxF "$line" <<<"$info"
    done
    check "$module.ko: built for $KERNEL_RELEASE" grep -q "^vermagic=$KERNEL_RELEASE SMP " <<<"$info"
    # (mychar_device is only ever written, so the compiler keeps no symbol for it.)
    symbols=$(nm "$ko" | awk '{ print $NF }')
    for name in devname mydev my_cdev mychar_class fops myOpen myRelease myIoctl myInit myExit; do
        check "$module.ko: $name" grep -qxF "$name" <<<"$symbols"
    done
done
exit $fail
