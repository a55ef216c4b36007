#!/bin/bash
# build-root.sh: a minimal root of a Debian release, for building modules against a kernel
# whose compiler or kbuild helpers this host does not have.
#
#   build-root.sh make ROOT RELEASE PACKAGE...: makes ROOT with debootstrap from Debian's
#     archive (minbase and PACKAGE...), once: a ROOT made for the same packages is kept.
#   build-root.sh run ROOT DIR... -- COMMAND...: runs COMMAND in ROOT, in the current folder,
#     with each DIR at its own path inside.
#
# Both run in a private mount namespace of their own: debootstrap's /proc and /sys, the bind
# mounts of DIR... and the root's /proc exist only there and vanish with it, however it ends.
# Nothing is ever mounted under ROOT in the host's namespace, so removing ROOT (or build/)
# removes only ROOT's own files.
set -euo pipefail

# shellcheck source=cmake/namespace.sh
. "$(dirname "$0")/namespace.sh"
# shellcheck source=cmake/mirror.sh
. "$(dirname "$0")/mirror.sh"

make_root() {
    local root=$1 release=$2 wanted mirror
    shift 2
    mirror=$(archive_mirror)
    wanted=$(printf '%s\n' "$@" | sort -u | tr '\n' ' ')
    [ -f "$root/.packages" ] && [ "$(cat "$root/.packages")" = "$wanted" ] && return
    if mounted_under "$root"; then
        echo "kernel: something is mounted under $root; not touching it" >&2
        exit 1
    fi
    rm -rf "$root" "$root.new"
    mkdir -p "$root.new"
    echo "kernel: making a minimal Debian $release root for module builds in $root (once)"
    if ! private_namespace debootstrap --variant=minbase \
        --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
        --include="$(echo "$wanted" | xargs | tr ' ' ,)" \
        "$release" "$root.new" "$mirror" >"$root.log" 2>&1; then
        tail -n 20 "$root.log" >&2
        echo "kernel: debootstrap of Debian $release failed (see $root.log)" >&2
        exit 1
    fi
    rm -f "$root.new"/var/cache/apt/archives/*.deb
    echo "$wanted" >"$root.new/.packages"
    mv "$root.new" "$root"
}

run_in_root() {
    local root=$1 dirs=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        dirs+=("$1")
        shift
    done
    shift
    # shellcheck disable=SC2016  # expanded by the inner shell
    private_namespace bash -euc '
        root=$1 count=$2
        shift 2
        for ((i = 0; i < count; i++)); do
            mkdir -p "$root$1"
            mount --bind "$1" "$root$1"
            shift
        done
        mount -t proc proc "$root/proc"
        exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
            LC_ALL=C.UTF-8 /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$PWD" "$@"
    ' build-root "$root" "${#dirs[@]}" "${dirs[@]}" "$@"
}

if [ "$(id -u)" != 0 ]; then
    echo "kernel: a build root (debootstrap, chroot, mount namespaces) needs root: run make as" \
        "root, or install the compiler the kernel was built with" >&2
    exit 1
fi
case ${1:-} in
    make) make_root "${2:?}" "${3:?}" "${@:4}" ;;
    run) run_in_root "${2:?}" "${@:3}" ;;
    *)
        echo "usage: build-root.sh make ROOT RELEASE PACKAGE... | run ROOT DIR... -- COMMAND..." >&2
        exit 2
        ;;
esac
