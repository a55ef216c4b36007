#!/bin/bash
# vm.sh [KERNEL] (make vm) | vm.sh KERNEL_ENV INITRAMFS: boots a test kernel of kernels.list or a
# debugging kernel (debug-686, debug-amd64), or the kernel and initramfs named, in QEMU without
# KVM (qemu.sh), with the test guest in its suite "vm" (guest/vm.sh): a root shell on the serial
# console, which is this terminal, with both modules, ioctl_trigger and threads at hand. Ctrl-D
# (or exit) at that shell powers the guest off and ends QEMU; Ctrl-A x ends QEMU at once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -le 1 ]; then
    # By default the primary kernel, the list's first.
    set -- "${1:-$(awk '!/^#/ && NF { print $1; exit }' "$here/kernels.list")}"
    kernels="$(awk '!/^#/ && NF { print $1 }' "$here/kernels.list" | xargs) debug-686 debug-amd64"
    case " $kernels " in
    *" $1 "*) ;;
    *)
        first=${kernels% *}
        echo "make vm: KERNEL=$1? choose ${first// /, } or ${kernels##* }" >&2
        exit 2
        ;;
    esac
    paths=$here/../../build/i386/paths.sh
    [ -f "$paths" ] || { echo "vm: $paths is missing: build first (make)" >&2; exit 1; }
    # shellcheck source=/dev/null
    . "$paths"
    # A debugging kernel's guest is packed on request only.
    case $1 in debug-*) cmake --build "$OSF_I386" -j "$(nproc)" --target "kernel_initramfs_$1" ;; esac
    set -- "$(osf_kernel_env "$1")" "$(osf_initramfs "$1")"
fi
kernel_env=$1
initramfs=$2
for file in "$kernel_env" "$initramfs"; do
    if [ ! -f "$file" ]; then
        echo "vm: $file is missing: build first (make)" >&2
        exit 1
    fi
done
# shellcheck source=tests/kernel/qemu.sh
. "$here/qemu.sh"
qemu_for "$kernel_env"
echo "vm: booting $KERNEL_RELEASE under ${qemu[0]} without KVM (a few seconds)..."
exec "${qemu[@]}" -smp 2 -initrd "$initramfs" -append "$append quiet loglevel=3 osf_suite=vm"
