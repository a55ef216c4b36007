#!/bin/bash
# The alarm services under load, measured from outside through their standard streams:
# lateness of 1,000 alarms falling due together (snoozer and snoozefork), and snoozer's memory
# per pending alarm with 10,000 pending. Needs the built trees (make); builds its own driver.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
snoozer=$root/build/i386/alarms/snoozer
snoozefork=$root/build/x86_64/alarms/snoozefork
for program in "$snoozer" "$snoozefork"; do
    if [ ! -x "$program" ]; then
        echo "bench alarms: $program is not built (run make first)" >&2
        exit 1
    fi
done
out=$root/build/bench/alarms
mkdir -p "$out"
if [ ! -x "$out/alarm_bench" ] || [ "$here/alarm_bench.cpp" -nt "$out/alarm_bench" ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -Werror -o "$out/alarm_bench" "$here/alarm_bench.cpp"
fi

alarms=1000
seconds=2
echo
echo "alarms: $alarms alarms of $seconds s, each request sent as soon as the prompt is back;"
echo "lateness of each printed alarm against its due time (request sent + $seconds s)"
echo "goal: median under 5 ms, maximum under 50 ms"
printf '%-11s %7s %8s %11s %10s %10s %10s\n' program alarms printed "due in (ms)" \
    "median ms" "p99 ms" "max ms"
status=0
"$out/alarm_bench" lateness "$snoozer" "Alarm> " $alarms $seconds $' (%d) %s\n' || status=1
"$out/alarm_bench" lateness "$snoozefork" "Alarm" $alarms $seconds $'(%d) %s \n' || status=1

pending=10000
echo
echo "alarms: snoozer (i386) with $pending alarms pending; growth per pending alarm"
echo "goal: under 100 KiB of address space per pending alarm"
printf '%-11s %7s %8s %14s %14s %12s\n' program alarms pending "VmSize KiB/al" "VmRSS KiB/al" \
    "VmSize MiB"
"$out/alarm_bench" memory "$snoozer" $pending || status=1
exit $status
