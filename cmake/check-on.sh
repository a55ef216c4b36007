#!/bin/bash
# check-on.sh [RELEASE [TARGET]]: `make TARGET` (check by default) on a fresh Debian RELEASE
# (by default the newest that osfacets ships for, cmake/releases.list), for `make check-on`.
# cmake/root.sh makes a minimal root of that release in build/check-on/RELEASE (the variant
# minbase, with make, git and the CA certificates: what a newcomer's fresh machine has), with
# that release's security updates in its sources as on an installed system; a clone of this
# repository's current commit goes into it, and `make TARGET` runs there as root, so that its
# own `make deps` installs everything else from that release's archive. Uncommitted changes are
# not in it.
#
# The root is entered with chroot inside a private mount namespace: /proc, /sys, /dev and a
# /dev/shm of its own are mounted there and nowhere else, so they vanish with the run and
# nothing stays mounted under the tree. The run keeps the host's network (apt, mmdebstrap).
# The root is made afresh each time; it is removed after a run that passes, and left for a
# look after one that fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
release=${1:-$(bash "$here/root.sh" releases | tail -n 1)}
target=${2:-check}
if ! [[ $release =~ ^[a-z][a-z0-9-]*$ ]]; then
    echo "check-on: RELEASE='$release'? name a Debian release: make check-on RELEASE=$(
        bash "$here/root.sh" releases | tail -n 1)" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "check-on: only root can make and enter a root of $release (mmdebstrap, chroot)" >&2
    exit 1
fi
command -v mmdebstrap >/dev/null || {
    echo "check-on: mmdebstrap is missing: run make deps" >&2
    exit 1
}
repo=$(git rev-parse --show-toplevel)
commit=$(git rev-parse HEAD)
root=$repo/build/check-on/$release

# shellcheck source=cmake/namespace.sh
. "$here/namespace.sh"
# remove_root: removes the root, never while something is mounted in it (rm would go through).
remove_root() {
    if mounted_under "$root"; then
        echo "check-on: something is mounted under $root; not removing it:" >&2
        findmnt -rn -o TARGET | grep -F "$root" >&2
        return 1
    fi
    rm -rf "$root" "$root.made" "$root.log"
}

remove_root
echo "check-on: making a fresh $release root in $root (minbase)"
start=$SECONDS
bash "$here/root.sh" make "$root" "$release" amd64 minbase make git ca-certificates || {
    remove_root
    exit 1
}
echo "check-on: root made in $((SECONDS - start)) s"
git clone --quiet --no-hardlinks "$repo" "$root/src/osfacets"
git -C "$root/src/osfacets" checkout --quiet --detach "$commit"
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "check-on: make $target in $release, at commit ${commit:0:12}"
start=$SECONDS
status=0
# make check runs in two steps: `make deps build` with the host's network (apt, the kernels'
# download), then the tests (`make run-check`) in a network namespace of their own with only a
# loopback interface, so that the chat's fixed port never meets a run on the host. Any other
# target runs as it is, with the network.
# shellcheck disable=SC2016  # expanded by the inner shell
private_namespace bash -c '
    set -e
    root=$1 target=$2
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
    in_root=(chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}"
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c)
    if [ "$target" != check ]; then
        exec "${in_root[@]}" "cd /src/osfacets && make $target"
    fi
    "${in_root[@]}" "cd /src/osfacets && make deps build"
    exec unshare --net -- bash -c "ip link set lo up && exec \"\$@\"" loopback \
        "${in_root[@]}" "cd /src/osfacets && make run-check"
' check-on "$root" "$target" || status=$?
echo "check-on: make $target in $release: $((SECONDS - start)) s, status $status"
if mounted_under "$root"; then
    echo "check-on: FAIL: mounts remain under $root" >&2
    exit 1
fi
if [ $status -ne 0 ]; then
    echo "check-on: the $release root is left for a look: $root (the next run replaces it)" >&2
    exit $status
fi
remove_root
