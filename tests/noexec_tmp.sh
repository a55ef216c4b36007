#!/bin/bash
# noexec_tmp.sh COMMAND...: runs COMMAND with /tmp an empty tmpfs mounted noexec, in a mount
# namespace of its own, as on a host that mounts /tmp so: the checks that build and run
# programs must keep them out of /tmp. COMMAND runs as is without root (no mount namespace),
# and where this tree itself lies under /tmp: such a host cannot mount /tmp noexec, and the
# empty tmpfs would hide the tree.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
case $root/ in /tmp/*) exec "$@" ;; esac
[ "$(id -u)" -eq 0 ] || exec "$@"
# shellcheck source=cmake/namespace.sh
. "$root/cmake/namespace.sh"
# shellcheck disable=SC2016  # the inner shell expands them
private_namespace sh -c 'mount -t tmpfs -o noexec,nosuid,nodev,mode=1777 osf-noexec-tmp /tmp &&
    exec "$@"' noexec_tmp "$@"
