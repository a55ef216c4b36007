#!/bin/bash
# The shared-memory hand-over: shmwriter leaves a line in "/shared", memreader prints it and
# removes the object, and a second memreader run finds nothing left to read.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../lib.sh
source "$(dirname "$0")/../lib.sh"

tour_stop "Shared memory: shmwriter leaves a line in \"/shared\", memreader reads it once"
if [ -e /dev/shm/shared ]; then
    echo "tour: the shared-memory object \"/shared\" is in use by another program" >&2
    exit 1
fi
trap 'rm -f /dev/shm/shared; tour_cleanup' EXIT

tour_session shm env PATH="$OSF_I386/shm:$OSF_I386/examples/shmwriter:$PATH" PS1='$ ' \
    bash --norc --noprofile
tour_wait shm '$'
tour_type shm "shmwriter"
tour_wait shm 'Line for "/shared":'
tour_type shm "a note left in shared memory"
tour_wait shm 'stored 28 characters'
tour_type shm 'memreader; echo "status $?"'
tour_wait shm 'status 0'
tour_type shm 'memreader; echo "status $?"'
tour_wait shm 'status 1'

tour_show shm "one terminal (typed: shmwriter and its line, then memreader twice)"
if [ -e /dev/shm/shared ]; then
    echo "tour: memreader left \"/shared\" behind" >&2
    exit 1
fi
