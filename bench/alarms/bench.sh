#!/bin/bash
# The alarm services under load, measured from outside through their standard streams:
# lateness of 1,000 alarms falling due together (snoozer and snoozefork), and snoozer's memory
# per pending alarm with 10,000 pending. Needs the built trees (make); builds its own driver.
# Prints rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
root=$bench_root
snoozer=$root/build/i386/alarms/snoozer
snoozefork=$root/build/x86_64/alarms/snoozefork
bench_need alarms "$snoozer" "$snoozefork"
out=$root/build/bench/alarms
mkdir -p "$out"
bench_compile "$out/alarm_bench" "$here/alarm_bench.cpp" g++ -std=c++20 -O2 -Wall -Wextra -Werror

# Each request is sent as soon as the prompt is back; each printed alarm is timed against its
# due time (request sent + the seconds).
alarms=1000
seconds=2
"$out/alarm_bench" lateness "$snoozer" "Alarm> " $alarms $seconds $' (%d) %s\n' | i386_rows
"$out/alarm_bench" lateness "$snoozefork" "Alarm" $alarms $seconds $'(%d) %s \n'
"$out/alarm_bench" memory "$snoozer" 10000 | i386_rows
