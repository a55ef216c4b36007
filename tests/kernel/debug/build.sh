#!/bin/bash
# build.sh DIR NAME: builds the debugging kernel NAME (amd64 or 686) and writes
# DIR/debug-NAME/kernel.env in fetch.sh's form (FLAVOUR=debug-NAME), so that the modules build
# against it and the test bed boots it.
# build.sh DIR source: only makes the kernel's source ready and prints its folder (for
# checkpatch.pl, make lint).
#
# The source is Debian's linux-source of the primary test kernel's suite (kernels.list's
# first), which apt installs into a root of that suite, DIR/roots/debug (cmake/root.sh), with
# what building a kernel needs; it is unpacked there once, into /osf-src. The kernel is built
# there too, into /osf-debug-NAME, and so are its modules (cmake/kbuild.sh). The configuration
# is `make tinyconfig` plus debug.config and NAME.config of this folder; every option they name
# must come out as they say, or the build stops (a dependency that Kconfig silently refused).
# The build is kept and reused until this script, the fragments or the root change
# (DIR/debug-NAME/KEY).
set -euo pipefail

dir=${1:?usage: build.sh DIR amd64|686|source}
name=${2:?usage: build.sh DIR amd64|686|source}
here=$(cd "$(dirname "$0")" && pwd)
case $name in
    amd64) arch=x86_64 ;;
    686) arch=i386 ;;
    source) ;;
    *) echo "build.sh: no debugging kernel $name (amd64 or 686)" >&2; exit 2 ;;
esac
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
root=$dir/roots/debug
in_root() { (cd / && bash "$here/../../../cmake/root.sh" run "$root" "$here" -- "$@"); }

# The root and the unpacked source, once for both kernels and lint.
(
    flock 8
    suite=$(awk '!/^#/ && NF { print $3; exit }' "$here/../kernels.list")
    bash "$here/../../../cmake/root.sh" make "$root" "$suite" amd64 apt linux-source gcc \
        libc6-dev make bc bison flex libelf-dev xz-utils perl \
        --dpkgopt=path-exclude=/usr/share/{doc,man,locale}/'*'
    if [ ! -f "$root/osf-src.version" ]; then
        tarball=$(cd "$root" && echo usr/src/linux-source-*.tar.xz)
        echo "debug kernel: unpacking $tarball"
        rm -rf "$root/osf-src"
        mkdir -p "$root/osf-src"
        in_root tar -xJf "/$tarball" -C /osf-src --strip-components=1
        dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Package} ${Version}\n' \
            "$(basename "$tarball" .tar.xz)" >"$root/osf-src.version"
    fi
) 8>"$dir/.debug-root.lock"
if [ "$name" = source ]; then
    echo "$root/osf-src"
    exit
fi

out=$dir/debug-$name
obj=/osf-debug-$name  # in the root
fragments=("$here/debug.config" "$here/$name.config")
key=$(cat "$0" "${fragments[@]}" "$root.made" "$root/osf-src.version" | sha256sum | cut -d ' ' -f 1)
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
if [ -f "$out/kernel.env" ] && [ "$(cat "$out/KEY" 2>/dev/null)" = "$key" ]; then
    touch "$out/kernel.env"
    exit 0
fi
rm -f "$out/kernel.env" "$out/KEY"

start=$(date +%s)
# A changed fragment rebuilds in the same folder: kbuild recompiles only what the changed
# options touch.
mkdir -p "$root$obj"
kmake() { in_root make -s -C /osf-src O="$obj" ARCH="$arch" "$@"; }
echo "debug kernel: configuring debug-$name (tinyconfig + ${fragments[*]##*/})"
kmake tinyconfig >/dev/null
in_root /osf-src/scripts/kconfig/merge_config.sh -m -O "$obj" "$obj/.config" "${fragments[@]}" \
    >/dev/null
kmake olddefconfig >/dev/null
# Every option of the fragments as they set it ("# CONFIG_X is not set" included).
missed=$(cat "${fragments[@]}" | grep -E '^(CONFIG_|# CONFIG_.* is not set)' |
    while IFS= read -r line; do
        option=$(echo "$line" | grep -o 'CONFIG_[A-Za-z0-9_]*')
        got=$(grep -E "^($option=|# $option is not set)" "$root$obj/.config" ||
            echo "# $option is not set")
        [ "$got" = "$line" ] || echo "  wanted '$line', got '$got'"
    done)
if [ -n "$missed" ]; then
    echo "debug kernel: the configuration of debug-$name lacks what the fragments ask for:" >&2
    echo "$missed" >&2
    exit 1
fi
jobs=${JOBS:-$(nproc)}
echo "debug kernel: building debug-$name with $jobs jobs"
# `modules` (there are none) writes Module.symvers, which modpost reads for our modules.
kmake -j "$jobs" bzImage modules_prepare modules
release=$(kmake kernelrelease)

# busybox of the architecture: the one of the list's first kernel of that architecture.
busybox_kernel=$(awk -v arch="${arch/x86_64/amd64}" '!/^#/ && NF && $2 == arch { print $1; exit }' \
    "$here/../kernels.list")
# shellcheck disable=SC1090,SC2153  # fetch.sh's kernel.env sets BUSYBOX
busybox=$(. "$dir/$busybox_kernel/kernel.env" && echo "$BUSYBOX")
cat >"$out/kernel.env.tmp" <<ENV
FLAVOUR=debug-$name
ARCH=$arch
KERNEL_RELEASE=$release
KERNEL_VERSION=$(cut -d ' ' -f 2 "$root/osf-src.version")
ROOT=$root
KDIR=$obj
VMLINUZ=$root$obj/arch/x86/boot/bzImage
BUSYBOX=$busybox
ENV
echo "$key" >"$out/KEY"
mv "$out/kernel.env.tmp" "$out/kernel.env"
echo "debug kernel: debug-$name ($release) built in $(($(date +%s) - start)) s"
