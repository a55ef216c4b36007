#!/bin/bash
# root.sh: every Debian root the project makes, made one way: by mmdebstrap, with apt resolving
# what each needs, from the archive that this host's apt sources name (cmake/mirror.sh).
#
#   root.sh make OUT SUITE ARCHS VARIANT [PACKAGE | --OPTION]...: a root of SUITE for the
#     architectures ARCHS (comma-separated, the first native), of mmdebstrap's VARIANT, with
#     PACKAGE... in it and --OPTION... given to mmdebstrap. OUT is a folder, or a tarball where
#     it ends in .tar. Made once: a root made from the same arguments and sources is kept.
#   root.sh run ROOT DIR... -- COMMAND...: runs COMMAND in the folder ROOT, in the current
#     folder, with each DIR at its own path inside.
#   root.sh releases: the Debian releases that osfacets ships for, oldest first
#     (cmake/releases.list).
#
# SUITE is a release, taken with its security updates as an installed system has them, or a
# release's backports, taken with that release: apt takes a package from the backports where
# it is named PACKAGE/SUITE. Folders are made and entered in a private mount namespace: the
# mounts of the making, the bind mounts of DIR... and the root's /proc exist only there, so
# that removing ROOT removes only ROOT's own files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cmake/namespace.sh
. "$here/namespace.sh"
# shellcheck source=cmake/mirror.sh
. "$here/mirror.sh"

# sources SUITE: the apt sources of a root of SUITE, one line each.
sources() {
    local release=${1%-backports} mirror security
    mirror=$(archive_mirror)
    security=$(security_mirror)
    echo "deb $mirror $release main"
    echo "deb $security $release-security main"
    [ "$release" = "$1" ] || echo "deb $mirror $1 main"
}

make_root() {
    local out=$1 suite=$2 archs=$3 variant=$4 made mode=root new=$1.new options=() packages=()
    shift 4
    for word in "$@"; do
        case $word in
            --*) options+=("$word") ;;
            *) packages+=("$word") ;;
        esac
    done
    [ ${#packages[@]} -eq 0 ] || options+=(--include="$(IFS=,; echo "${packages[*]}")")
    made="$archs $variant ${options[*]} | $(sources "$suite" | tr '\n' ' ')"
    [ -e "$out" ] && [ "$(cat "$out.made" 2>/dev/null)" = "$made" ] && return
    if mounted_under "$out"; then
        echo "root: something is mounted under $out; not touching it" >&2
        exit 1
    fi
    # A tarball is for sbuild and autopkgtest, which unpack it in a user namespace; mmdebstrap
    # tells it by its name.
    [ "${out%.tar}" = "$out" ] || { mode=unshare && new=${out%.tar}.new.tar; }
    rm -rf "$out" "$new" "$out.made"
    mkdir -p "$(dirname "$out")"
    echo "root: making ${out##*/}, a Debian $suite root (mmdebstrap, once)"
    # Unsafe writes: a root cut short is made again from scratch anyway.
    if ! private_namespace mmdebstrap --quiet --mode=$mode --variant="$variant" \
        --dpkgopt=force-unsafe-io \
        --architectures="$archs" "${options[@]}" "${suite%-backports}" "$new" - \
        <<<"$(sources "$suite")" \
        >"$out.log" 2>&1; then
        tail -n 20 "$out.log" >&2
        echo "root: mmdebstrap of $suite failed (see $out.log)" >&2
        exit 1
    fi
    mv "$new" "$out"
    echo "$made" >"$out.made"
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
    ' root "$root" "${#dirs[@]}" "${dirs[@]}" "$@"
}

case ${1:-} in
    releases) grep -v -e '^#' -e '^$' "$here/releases.list"; exit ;;
esac
if [ "$(id -u)" != 0 ]; then
    echo "root: making and entering Debian roots (mmdebstrap, chroot, mount namespaces) needs" \
        "root: run make as root" >&2
    exit 1
fi
case ${1:-} in
    make) make_root "${2:?}" "${3:?}" "${4:?}" "${5:?}" "${@:6}" ;;
    run) run_in_root "${2:?}" "${@:3}" ;;
    *)
        echo "usage: root.sh make OUT SUITE ARCHS VARIANT [PACKAGE|--OPTION]... |" \
            "run ROOT DIR... -- COMMAND... | releases" >&2
        exit 2
        ;;
esac
