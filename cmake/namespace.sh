# shellcheck shell=bash
# namespace.sh, sourced by the scripts that make and enter Debian roots (root.sh,
# check-on.sh): finding mounts under a folder, and running a command in a mount namespace
# whose mounts never reach the caller's.

# mounted_under DIR: true if this namespace has a mount at or under DIR.
mounted_under() {
    findmnt -rn -o TARGET | awk -v d="$1" '$0 == d || index($0, d "/") == 1 { found = 1 }
        END { exit !found }'
}

# private_namespace COMMAND...: runs COMMAND in a mount namespace of its own whose mounts do not
# propagate to this one. Where / is no mount point (in a chroot) its propagation cannot be
# changed: there every mount in sight must already be private (as in a chroot entered from
# `unshare --mount --propagation private`), or nothing is run.
private_namespace() {
    if mountpoint -q /; then
        unshare --mount --propagation private "$@"
    elif findmnt -rn -o PROPAGATION >/dev/null 2>&1 &&
        ! findmnt -rn -o PROPAGATION | grep -qvx private; then
        unshare --mount --propagation unchanged "$@"
    else
        echo "${0##*/}: this chroot's mounts are not all private (or /proc is not mounted), so" \
            "mounts made here could reach the host; enter it from" \
            "\`unshare --mount --propagation private\`" >&2
        return 1
    fi
}
