#!/bin/bash
# vm.sh KERNEL_ENV INITRAMFS: boots a test kernel (see fetch.sh and qemu.sh) in QEMU without
# KVM, with the test guest's initramfs in its suite "vm" (guest/vm.sh): a root shell on the
# serial console, which is this terminal, with both modules, ioctl_trigger and threads at
# hand. Ctrl-D (or exit) at that shell powers the guest off and ends QEMU; Ctrl-A x ends QEMU
# at once. Run by `make vm [KERNEL=686|...]`, any kernel of kernels.list.
set -euo pipefail
kernel_env=$1
initramfs=$2
for file in "$kernel_env" "$initramfs"; do
    if [ ! -f "$file" ]; then
        echo "vm: $file is missing: build first (make)" >&2
        exit 1
    fi
done
# shellcheck source=tests/kernel/qemu.sh
. "$(dirname "$0")/qemu.sh"
qemu_for "$kernel_env"
echo "vm: booting $KERNEL_RELEASE under ${qemu[0]} without KVM (a few seconds)..."
exec "${qemu[@]}" -smp 2 -initrd "$initramfs" -append "$append quiet loglevel=3 osf_suite=vm"
