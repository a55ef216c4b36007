#!/bin/bash
# The chat's round trip on loopback, and its limits. chat_bench (x86-64 tree) drives the built
# i386 replier and asker at their standard streams, one line typed at each per round trip. It
# drives relay_replier and relay_asker (relay.c) the same way: they make exactly the chat's
# hops (a pipe in, an 80-byte datagram, a pipe out, and back) with nothing else, which is the
# honest limit for the chat. pingpong, two processes bouncing an 80-byte datagram with no pipe
# in between, is the limit of the datagram hops alone. Needs the built trees (make) and UDP
# port 1234 free (the replier binds it). Prints rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
i386=${OSF_I386:-}
driver=${OSF_X86_64:-}/bench/chat_bench
bench_need chat "$i386/chat/replier" "$i386/chat/asker" "$i386/bench/relay_replier" \
    "$i386/bench/relay_asker" "$i386/bench/pingpong" "$driver"

rounds=5
trips=5000
pingpong_trips=20000
# share A B: A as a whole percentage of B.
share() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", 100 * a / b }'
}
# Every program here is i386 (i386_rows). Each runs twice: with every process on one CPU
# (taskset), where a round trip costs its context switches, and free to spread over the
# machine's CPUs, where each wake-up of the other end may cross to another CPU (on a virtual
# machine that costs tens of microseconds).
for placement in one spread; do
    pin=()
    where="spread over the CPUs"
    if [ $placement = one ]; then
        pin=(taskset -c 0)
        where="on one CPU"
    fi
    read -r chat chat_us < <("${pin[@]}" "$driver" "$i386/chat/replier" "$i386/chat/asker" $rounds $trips)
    read -r relay relay_us < <("${pin[@]}" "$driver" "$i386/bench/relay_replier" \
        "$i386/bench/relay_asker" $rounds $trips)
    read -r bare bare_us < <("${pin[@]}" "$i386/bench/pingpong" $rounds $pingpong_trips)
    best="best of $rounds rounds of"
    row chat "asker + replier, a line each way, $where; $best $(grouped $trips)" \
        "$chat" "round trips/s" \
        "$(share "$chat" "$relay") % of the relay limit, $(share "$chat" "$bare") % of bare UDP; $chat_us µs each"
    row chat "relays: the chat's hops and nothing else, $where; same rounds" \
        "$relay" "round trips/s" "the chat's limit; $relay_us µs each"
    row chat "C ping-pong: the datagrams alone, $where; $best $(grouped $pingpong_trips)" \
        "$bare" "round trips/s" "bare UDP; $bare_us µs each"
done | i386_rows
