#!/bin/bash
# The chat's round trip on loopback: the built i386 replier and asker, driven at their
# standard streams by chat_bench (one line typed at each per round trip), side by side with
# pingpong, two processes bouncing an 80-byte datagram over the same kind of socket (UDP/IPv4
# on 127.0.0.1, blocking sendto/recvfrom) with nothing else in the way: the limit. Needs the
# i386 tree (make) and UDP port 1234 free (replier binds it); builds its own drivers, pingpong
# with -m32 like the chat. Prints rows of the benchmark table (bench/lib.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/../lib.sh
. "$here/../lib.sh"
root=$bench_root
replier=$root/build/i386/chat/replier
asker=$root/build/i386/chat/asker
bench_need chat "$replier" "$asker"
# Some other program on port 1234 would take the datagrams meant for replier (or keep it from
# binding): look in the kernel's socket tables, which never takes the port.
if awk 'FNR > 1 && $2 ~ /:04D2$/ { found = 1 } END { exit !found }' /proc/net/udp \
    /proc/net/udp6 2>/dev/null; then
    echo "bench chat: UDP port 1234 is in use by another program; stop it (a running replier," \
        "or the chat's tests) and run the bench again" >&2
    exit 1
fi

out=$root/build/bench/chat
mkdir -p "$out"
bench_compile "$out/chat_bench" "$here/chat_bench.cpp" g++ -std=c++20 -O2 -Wall -Wextra -Werror
bench_compile "$out/pingpong" "$here/pingpong.c" gcc -m32 -std=c11 -O2 -Wall -Wextra -Werror

rounds=5
chat_trips=5000
pingpong_trips=20000
# Both run i386 programs (i386_rows). Each pair runs twice: with every process on one CPU (taskset), where a round trip costs two
# context switches, and free to spread over the machine's CPUs, where each wake-up of the
# other end may cross to another CPU (on a virtual machine that costs tens of microseconds).
for placement in one spread; do
    pin=()
    where="free to use every CPU"
    if [ $placement = one ]; then
        pin=(taskset -c 0)
        where="all on one CPU"
    fi
    chat=$("${pin[@]}" "$out/chat_bench" "$replier" "$asker" $rounds $chat_trips)
    limit=$("${pin[@]}" "$out/pingpong" $rounds $pingpong_trips)
    read -r chat_rate chat_us <<<"$chat"
    read -r limit_rate limit_us <<<"$limit"
    share=$(awk -v a="$chat_rate" -v b="$limit_rate" 'BEGIN { printf "%.0f", 100 * a / b }')
    measure="asker + replier, a line each way per trip, $where; best of $rounds rounds of"
    row chat "$measure $(grouped $chat_trips)" "$chat_rate" "round trips/s" \
        "$share % of the ping-pong limit; $chat_us µs each"
    measure="C ping-pong, 80-byte datagrams on 127.0.0.1, $where; best of $rounds rounds of"
    row chat "$measure $(grouped $pingpong_trips)" "$limit_rate" "round trips/s" \
        "the chat's limit; $limit_us µs each"
done | i386_rows
