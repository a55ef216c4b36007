#!/bin/bash
# noexec_tmp.sh COMMAND...: runs COMMAND with /tmp an empty tmpfs mounted noexec, in a mount
# namespace of its own, as on a host that mounts /tmp so: the checks that build and run
# programs must keep them out of /tmp. Without root (no mount namespace), COMMAND runs as is.
set -uo pipefail
# shellcheck source=cmake/namespace.sh
. "$(dirname "$0")/../cmake/namespace.sh"
[ "$(id -u)" -eq 0 ] || exec "$@"
# shellcheck disable=SC2016  # the inner shell expands them
private_namespace sh -c 'mount -t tmpfs -o noexec,nosuid,nodev,mode=1777 osf-noexec-tmp /tmp &&
    exec "$@"' noexec_tmp "$@"
