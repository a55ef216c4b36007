#!/bin/bash
# check_modules.sh INSTALLED BUILD_DIR KERNEL_DIR KERNEL...: checks the built modules without
# booting them. The installed tree INSTALLED has the first KERNEL's (kernels.list's primary) in
# lib/osfacets/modules/ and every other KERNEL's in lib/osfacets/modules/KERNEL/, each a
# relocatable object of its kernel's architecture (KERNEL_DIR/KERNEL/kernel.env, see fetch.sh)
# whose metadata names the module, the licence, the devname parameter and the kernel release it
# was built for, and which carries the frame's names. No installed module holds a test hook, while the test builds
# (BUILD_DIR/modules/KERNEL/test/) do. The modules' sources are installed for DKMS (dkms.conf).
set -uo pipefail  # not -e: a failed check is counted and the others still run
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
installed=$1
build=$2
kernel_dir=$3
elf_kind=$(dirname "$0")/../elf-kind.sh
shift 3
primary=$1

modinfo() { objcopy -O binary --only-section=.modinfo "$1" /dev/stdout | tr '\0' '\n'; }
# The hooks are the test build's parameters, fail_at (the frame) and flags_only (dirscan).
parameters_are() {  # parameters_are KO NAME...: KO has exactly these parameters
    [ "$(modinfo "$1" | sed -n 's/^parmtype=\([^:]*\):.*/\1/p' | sort | tr '\n' ' ')" = \
        "$(shift; printf '%s\n' "$@" | sort | tr '\n' ' ')" ]
}
no_hook_text() { ! grep -qaE 'fail_at|flags_only' "$1"; }

for kernel in "$@"; do
    # shellcheck source=/dev/null
    . "$kernel_dir/$kernel/kernel.env"
    kind='ELF32 i386 REL'
    [ "$ARCH" = x86_64 ] && kind='ELF64 x86-64 REL'
    dest=lib/osfacets/modules/$kernel
    [ "$kernel" = "$primary" ] && dest=lib/osfacets/modules
    for module in tasklister dirscan; do
        ko=$installed/$dest/$module.ko
        check "$kernel: $module.ko installed in $dest/" test -f "$ko" || continue
        check "$kernel: $module.ko: $kind" test "$(sh "$elf_kind" "$ko")" = "$kind"
        info=$(modinfo "$ko")
        for line in "name=$module" "license=Dual BSD/GPL" "parmtype=devname:charp"; do
            check "$kernel: $module.ko: $line" grep -qxF "$line" <<<"$info"
        done
        check "$kernel: $module.ko: built for $KERNEL_RELEASE" \
            grep -q "^vermagic=$KERNEL_RELEASE SMP " <<<"$info"
        # (mychar_device is only ever written, so the compiler keeps no symbol for it.)
        symbols=$(nm "$ko" | awk '{ print $NF }')
        for name in devname mydev my_cdev mychar_class fops myOpen myRelease myIoctl myInit myExit; do
            check "$kernel: $module.ko: $name" grep -qxF "$name" <<<"$symbols"
        done
        check "$kernel: $module.ko: no parameter but devname" parameters_are "$ko" devname
        check "$kernel: $module.ko: no test hook's name in it" no_hook_text "$ko"
        # The test build's hooks, so that the two checks above can tell.
        hooks=(fail_at)
        [ "$module" = dirscan ] && hooks+=(flags_only)
        check "$kernel: the test build of $module.ko has devname and ${hooks[*]}" \
            parameters_are "$build/modules/$kernel/test/$module.ko" devname "${hooks[@]}"
    done
done
# The sources for DKMS: a dkms.conf of their own version that builds both modules and builds
# them again for each new kernel, beside everything the Makefile builds them from.
src=$(echo "$installed"/src/osfacets-*)
if check "dkms.conf installed in src/osfacets-VERSION/" test -f "$src/dkms.conf"; then
    for line in "PACKAGE_VERSION=\"${src##*osfacets-}\"" 'BUILT_MODULE_NAME[0]="tasklister"' \
        'BUILT_MODULE_NAME[1]="dirscan"' 'AUTOINSTALL="yes"'; do
        check "dkms.conf: $line" grep -qxF "$line" "$src/dkms.conf"
    done
    for file in Makefile frame.c frame.h compat.h tasklister/Kbuild tasklister/proclist.c \
        dirscan/Kbuild dirscan/pgdir.c; do
        check "DKMS sources: $file" test -f "$src/$file"
    done
fi
checks_done check_modules
