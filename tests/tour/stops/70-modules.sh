#!/bin/bash
# The kernel modules: boots the primary test kernel (an i386 one) in QEMU (tests/kernel/boot.sh),
# loads tasklister and dirscan, issues an ioctl on each device node and shows the kernel log
# they wrote, as the guest's console showed it (the guest's script: tests/kernel/guest/tour.sh).
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

tour_stop "The kernel modules: tasklister and dirscan in a 32-bit kernel under QEMU, an ioctl each"
kernel_env=$(osf_kernel_env "$(osf_primary_kernel)")
initramfs=$(osf_initramfs "$(osf_primary_kernel)")
if [ ! -f "$kernel_env" ] || [ ! -f "$initramfs" ]; then
    echo "tour: the test kernel or its initramfs is missing: run make first" >&2
    exit 1
fi
log=$(mktemp "$OSF_I386/tour-modules-XXXXXX")
trap 'rm -f "$log"; tour_cleanup' EXIT

echo "(booting; QEMU emulates the 32-bit PC without KVM, this takes a little while)"
bash "$OSF_ROOT/tests/kernel/boot.sh" "$kernel_env" "$initramfs" tour "$log" 240
session=$(tr -d '\r' <"$log" | sed -n '/@@ osf-guest suite=tour/,/^@@ osf-guest finished/p' | grep -v '^@@')
printf -- '--- %s ---\n' "the guest's console (root shell in the test kernel)"
printf '%s\n' "$session" | sed 's/^/| /'
printf -- '---\n'

for expected in "Major number allocated = " "Open My_ioctl successful " "pid 	 ppid 	 lwpid 	 args " \
    "ioctl_trigger " "PGD[" "count : " "Exiting the character driver "; do
    if ! grep -q -F -- "$expected" <<<"$session"; then
        echo "tour: the kernel log lacks '$expected'" >&2
        exit 1
    fi
done
