#!/bin/bash
# boot.sh KERNEL_ENV INITRAMFS SUITE LOG [SECONDS [CPUS]]: boots a test kernel (KERNEL_ENV, see
# fetch.sh; the machine for it: qemu.sh) in QEMU without KVM, on CPUS virtual CPUs (default
# two, so that concurrent callers really run at once; the benchmark boots one, for fewer kernel
# threads), with INITRAMFS, whose init runs SUITE, and writes the serial console to LOG. Any
# oops, warning or soft lockup panics the guest (oops=panic, panic_on_warn=1,
# softlockup_panic=1), the panic prints the whole kernel log (panic_print=0x20), and the
# machine then stops (panic=-1 with -no-reboot). The console shows only the kernel's gravest
# messages (loglevel=3): the scripts print the kernel log themselves. Exits 0 when QEMU ran to
# its end (the host tests judge LOG), 1 if it could not be started or ran out of time (LOG
# then ends with a "@@ host:" line saying so).
set -uo pipefail
kernel_env=$1
initramfs=$2
suite=$3
log=$4
limit=${5:-240}
cpus=${6:-2}
# shellcheck source=tests/kernel/qemu.sh
. "$(dirname "$0")/qemu.sh"
qemu_for "$kernel_env"

append+=" panic=-1 oops=panic panic_on_warn=1 softlockup_panic=1"
append+=" loglevel=3 panic_print=0x20 log_buf_len=1M osf_suite=$suite"
start=$(date +%s)
timeout --kill-after=10 "$limit" "${qemu[@]}" -smp "$cpus" -initrd "$initramfs" -append "$append" \
    </dev/null >"$log" 2>&1
status=$?
took=$(($(date +%s) - start))
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    echo "@@ host: QEMU did not finish within ${limit}s" >>"$log"
elif [ $status -ne 0 ]; then
    echo "@@ host: QEMU failed with status $status" >>"$log"
else
    echo "@@ host: QEMU ended after ${took}s" >>"$log"
    exit 0
fi
echo "boot.sh: $suite boot failed after ${took}s; the console's last lines ($log):" >&2
tail -n 60 "$log" | tr -d '\r' >&2
exit 1
