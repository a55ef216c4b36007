#!/bin/bash
# boot.sh KERNEL_ENV INITRAMFS SUITES LOG [SECONDS [CPUS]]: boots a test kernel (KERNEL_ENV, see
# fetch.sh; the machine for it: qemu.sh) in QEMU without KVM, on CPUS virtual CPUs (default
# two, so that concurrent callers really run at once; the benchmark boots one, for fewer kernel
# threads), with INITRAMFS, whose init runs the suite named, and writes the serial console to
# LOG. SUITES may name several suites, comma-separated: each then gets a boot of its own, all
# side by side (suites that mostly wait), and LOG holds their consoles one after the other.
# Any oops, warning or soft lockup panics the guest (oops=panic, panic_on_warn=1,
# softlockup_panic=1), the panic prints the whole kernel log (panic_print=0x20), and the
# machine then stops (panic=-1 with -no-reboot). The console shows only the kernel's gravest
# messages (loglevel=3): the scripts print the kernel log themselves. Exits 0 when every QEMU
# ran to its end (the host tests judge LOG), 1 if one could not be started or ran out of time
# (LOG then has a "@@ host:" line saying so).
set -uo pipefail
kernel_env=$1
initramfs=$2
suites=$3
log=$4
limit=${5:-240}
cpus=${6:-2}
# shellcheck source=tests/kernel/qemu.sh
. "$(dirname "$0")/qemu.sh"
qemu_for "$kernel_env"

append+=" panic=-1 oops=panic panic_on_warn=1 softlockup_panic=1"
append+=" loglevel=3 panic_print=0x20 log_buf_len=1M"

# boot SUITE LOG: one boot; its console, then a "@@ host:" line with how it ended, go to LOG.
boot() {
    local start=$SECONDS status
    timeout --kill-after=10 "$limit" "${qemu[@]}" -smp "$cpus" -initrd "$initramfs" \
        -append "$append osf_suite=$1" </dev/null >"$2" 2>&1
    status=$?
    local took=$((SECONDS - start))
    if [ $status -eq 124 ] || [ $status -eq 137 ]; then
        echo "@@ host: QEMU did not finish within ${limit}s" >>"$2"
    elif [ $status -ne 0 ]; then
        echo "@@ host: QEMU failed with status $status" >>"$2"
    else
        echo "@@ host: QEMU ended after ${took}s" >>"$2"
        return 0
    fi
    echo "boot.sh: $1 boot failed after ${took}s; the console's last lines ($2):" >&2
    tail -n 60 "$2" | tr -d '\r' >&2
    return 1
}

IFS=, read -ra names <<<"$suites"
if [ ${#names[@]} -eq 1 ]; then
    boot "$suites" "$log"
    exit
fi
pids=()
for name in "${names[@]}"; do
    boot "$name" "$log.$name" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
for name in "${names[@]}"; do
    cat "$log.$name"
    rm -f "$log.$name"
done >"$log"
exit $status
