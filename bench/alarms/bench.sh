#!/bin/bash
# The alarm services under load, measured from outside through their standard streams by
# alarm_bench (built in the x86-64 tree): lateness of 1,000 alarms falling due together
# (snoozer and snoozefork), and snoozer's memory per pending alarm with 10,000 pending. Needs
# the built trees (make). Prints rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
bench_need alarms "${OSF_I386:-}/alarms/snoozer" "${OSF_X86_64:-}/alarms/snoozefork" \
    "${OSF_X86_64:-}/bench/alarm_bench"
snoozer=$OSF_I386/alarms/snoozer
snoozefork=$OSF_X86_64/alarms/snoozefork
driver=$OSF_X86_64/bench/alarm_bench

# Each request is sent as soon as the prompt is back; each printed alarm is timed against its
# due time (request sent + the seconds).
alarms=1000
seconds=2
"$driver" lateness "$snoozer" "Alarm> " $alarms $seconds $' (%d) %s\n' | i386_rows
"$driver" lateness "$snoozefork" "Alarm" $alarms $seconds $'(%d) %s \n'
"$driver" memory "$snoozer" 10000 | i386_rows
