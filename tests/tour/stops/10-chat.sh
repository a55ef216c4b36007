#!/bin/bash
# The chat: replier and asker in two terminals, exchanging lines over UDP on loopback.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

tour_stop "The chat: replier and asker, two terminals, UDP port 1234 on loopback"
if grep -q ':04D2 ' /proc/net/udp; then
    echo "tour: UDP port 1234 is taken by another program" >&2
    exit 1
fi
tour_session replier "$OSF_I386/chat/replier"
for _ in $(seq 100); do grep -q ':04D2 ' /proc/net/udp && break; sleep 0.05; done
tour_session asker "$OSF_I386/chat/asker"

tour_wait asker "Enter the data :"
tour_type asker "hello, is anybody there?"
tour_wait replier "Enter the data :"
tour_type replier "yes, replier here"
tour_wait asker "Enter the data :" 10 2
tour_type asker "what port is this?"
tour_wait replier "Enter the data :" 10 2
tour_type replier "1234, as always"
tour_wait asker "Enter the data :" 10 3
tour_keys asker C-d
tour_wait asker "Accessing the data failed"

tour_show asker "asker's terminal (typed: two lines, then Ctrl-D)"
tour_show replier "replier's terminal (typed: two replies)"
