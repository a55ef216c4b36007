# shellcheck shell=dash
# bench.sh: the cost of tasklister's ioctl with a small and a large process table (suite
# "bench", sourced by init; bench/kernel/bench.sh boots it and turns its lines into table rows).
# For each size, sleeper processes bring the table to that many lines, then ioctl_cost times
# the ioctl. The lines are counted in the log of one ioctl, so the size is the one the ioctl
# walks: every process on the kernel's ring (kernel threads included) and its head, the idle
# task. The table lines go to the kernel log at info level, which the console (loglevel=3)
# does not show. Prints, per size:
#   @@ bench size=WANTED table=LINES kernel_threads=K sleepers=S
#   ioctl_cost: calls=N median_us=M mean_us=A min_us=L
# and "@@ bench failed: REASON" if something goes wrong.

bench_calls=${osf_bench_calls:-200}
bench_sleepers=""
bench_table=0
bench_kthreads=0

# Counts the lines of one table: sets bench_table, and bench_kthreads (kthreadd and its
# children). The caller, ioctl_trigger, stands in for ioctl_cost, which takes its place later.
bench_count() {
    dmesg -c >/dev/null
    ioctl_trigger /dev/tlbench 0 >/dev/null || return 1
    dmesg -c | sed 's/^\[[^]]*\] //' | awk '
        $1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ && $3 ~ /^[0-9]+$/ {
            lines++
            if ($1 == 2 || $2 == 2) kthreads++
        }
        END { print lines + 0, kthreads + 0 }' >/tmp/bench-count
    read -r bench_table bench_kthreads </tmp/bench-count
}

# Starts sleepers until the table has at least $1 lines (a kernel worker may come or go
# meanwhile, so count again after each batch).
bench_fill() {
    tries=0
    bench_count || return 1
    while [ "$bench_table" -lt "$1" ] && [ $tries -lt 5 ]; do
        n=$(($1 - bench_table))
        while [ $n -gt 0 ]; do
            sleep 100000 &
            bench_sleepers="$bench_sleepers $!"
            n=$((n - 1))
        done
        bench_count || return 1
        tries=$((tries + 1))
    done
}

bench_size() {
    size=$1
    if ! bench_fill "$size"; then
        echo "@@ bench failed: cannot count the table at size $size"
        return
    fi
    # shellcheck disable=SC2086
    set -- $bench_sleepers
    echo "@@ bench size=$size table=$bench_table kernel_threads=$bench_kthreads sleepers=$#"
    ioctl_cost /dev/tlbench "$bench_calls" 2>&1 || echo "@@ bench failed: ioctl_cost status $?"
}

dmesg -c >/dev/null
if insmod "$KO/tasklister.ko" devname=tlbench; then
    bench_size 50
    bench_size 500
    # shellcheck disable=SC2086
    [ -n "$bench_sleepers" ] && kill $bench_sleepers
    rmmod tasklister || echo "@@ bench failed: rmmod tasklister"
else
    echo "@@ bench failed: insmod tasklister"
fi
dmesg -c >/dev/null
