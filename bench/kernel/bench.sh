#!/bin/bash
# tasklister's ioctl cost inside the first test kernel of each architecture (kernels.list):
# boots each kernel's test bed (tests/kernel/boot.sh) with the guest suite "bench" on one
# virtual CPU (fewer kernel threads, so that the small table can be made 50 lines), where
# ioctl_cost times the ioctl with a table of 50 and of 500 lines (tests/kernel/guest/bench.sh),
# and turns the guest's lines into rows of the benchmark table (bench/lib.sh). QEMU runs
# without KVM: every instruction is emulated, so the times are many times those of real
# hardware; the ratio between the two sizes is what counts. Needs the i386 tree (make), which
# packs the guests' initramfs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
root=$bench_root
out=$root/build/bench/kernel
mkdir -p "$out"

# bench_kernel KERNEL: boots it and writes one record per table size to $out/results-KERNEL.
bench_kernel() {
    local kernel=$1 log=$out/boot-bench-$1.log
    local kernel_env initramfs
    bench_need kernel  # paths.sh, which osf_kernel_env and osf_initramfs come from
    kernel_env=$(osf_kernel_env "$kernel")
    initramfs=$(osf_initramfs "$kernel")
    bench_need kernel "$kernel_env" "$initramfs"
    bash "$root/tests/kernel/boot.sh" "$kernel_env" "$initramfs" bench "$log" 180 1
    tr -d '\r' <"$log" >"$log.txt"
    if grep '^@@ bench failed' "$log.txt" >&2 || ! grep -q '^@@ osf-guest finished' "$log.txt"; then
        echo "bench kernel: the $kernel guest's bench did not run through; its console is in $log" >&2
        exit 1
    fi
    # "@@ bench size=50 table=50 kernel_threads=44 sleepers=3", then
    # "ioctl_cost: calls=200 median_us=353.7 mean_us=381.6 min_us=347.1": one record per size.
    awk '
        $1 == "@@" && $2 == "bench" { for (i = 3; i <= NF; i++) { split($i, kv, "="); r[kv[1]] = kv[2] } }
        $1 == "ioctl_cost:" {
            for (i = 2; i <= NF; i++) { split($i, kv, "="); r[kv[1]] = kv[2] }
            print r["size"], r["table"], r["kernel_threads"], r["sleepers"], r["calls"], \
                  r["median_us"], r["mean_us"]
        }' "$log.txt" >"$out/results-$kernel"
    if [ "$(wc -l <"$out/results-$kernel")" -ne 2 ]; then
        echo "bench kernel: expected results for two table sizes on $kernel; the console is in $log" >&2
        exit 1
    fi
}

note="QEMU without KVM (emulated, times inflated)"
# The list's first kernel of each architecture.
mapfile -t kernels < <(awk '!/^#/ && NF && !seen[$2]++ { print $1 }' \
    "$here/../../tests/kernel/kernels.list")
for kernel in "${kernels[@]}"; do
    bench_kernel "$kernel"
    medians=()
    lines=()
    while read -r size table kthreads sleepers calls median _; do
        echo "bench kernel: $kernel: $size wanted, $table lines: $kthreads kernel threads, $sleepers sleepers" >&2
        measure="tasklister ioctl on $kernel, $table-line table ($kthreads kernel threads)"
        row kernel "$measure: median of $calls calls" "$median" "µs/call" "$note"
        medians+=("$median")
        lines+=("$table")
    done <"$out/results-$kernel"
    per_line=$(awk -v a="${medians[0]}" -v b="${medians[1]}" -v m="${lines[0]}" -v n="${lines[1]}" \
        'BEGIN { printf "%.2f", (b - a) / (n - m) }')
    row kernel "tasklister ioctl on $kernel, each further line (from the medians)" \
        "$per_line" "µs/line" "$note"
done
