#!/bin/bash
# build.sh DIR NAME: builds the debugging kernel NAME (amd64 or 686) from Debian's
# linux-source-6.1 into DIR/debug-NAME/ and writes DIR/debug-NAME/kernel.env in fetch.sh's
# form (FLAVOUR=debug-NAME), so that the modules build against it and the test bed boots it.
# The source is the tarball cmake/fetch-checkpatch.sh keeps in DIR/checkpatch (one download for
# both), unpacked once into DIR/debug-src/. The configuration is `make tinyconfig` plus
# debug.config and NAME.config of this folder; every option they name must come out as they
# say, or the build stops (a dependency that Kconfig silently refused). The build is kept and
# reused until this script, the fragments, the source package or the compiler change
# (DIR/debug-NAME/KEY).
set -euo pipefail

dir=${1:?usage: build.sh DIR amd64|686}
name=${2:?usage: build.sh DIR amd64|686}
here=$(cd "$(dirname "$0")" && pwd)
case $name in
    amd64) arch=x86_64 ;;
    686) arch=i386 ;;
    *) echo "build.sh: no debugging kernel $name (amd64 or 686)" >&2; exit 2 ;;
esac
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
out=$dir/debug-$name
jobs=${JOBS:-$(nproc)}

sh "$here/../../../cmake/fetch-checkpatch.sh" "$dir/checkpatch" "$dir/debs"
package=$(cat "$dir/checkpatch/VERSION")
version=${package##* }
fragments=("$here/debug.config" "$here/$name.config")
key=$(cat "$0" "${fragments[@]}" "$dir/checkpatch/VERSION" <(gcc --version | head -n 1) |
    sha256sum | cut -d ' ' -f 1)

mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
if [ -f "$out/kernel.env" ] && [ "$(cat "$out/KEY" 2>/dev/null)" = "$key" ]; then
    touch "$out/kernel.env"
    exit 0
fi
rm -f "$out/kernel.env" "$out/KEY"

# The source, unpacked once for both kernels (each builds in its own output folder).
src=$dir/debug-src/linux-source-6.1
(
    flock 8
    if [ "$(cat "$dir/debug-src/VERSION" 2>/dev/null)" != "$version" ]; then
        echo "debug kernel: unpacking $package"
        rm -rf "$dir/debug-src"
        mkdir -p "$dir/debug-src"
        tar -xJf "$dir/checkpatch/linux-source-6.1.tar.xz" -C "$dir/debug-src"
        echo "$version" >"$dir/debug-src/VERSION"
    fi
) 8>"$dir/.debug-src.lock"

start=$(date +%s)
# A changed fragment rebuilds in the same folder: kbuild recompiles only what the changed
# options touch.
obj=$out/obj
mkdir -p "$obj"
kmake() { MAKEFLAGS='' make -s -C "$src" O="$obj" ARCH="$arch" "$@"; }
echo "debug kernel: configuring debug-$name (tinyconfig + ${fragments[*]##*/})"
kmake tinyconfig >/dev/null
"$src/scripts/kconfig/merge_config.sh" -m -O "$obj" "$obj/.config" "${fragments[@]}" >/dev/null
kmake olddefconfig >/dev/null
# Every option of the fragments as they set it ("# CONFIG_X is not set" included).
missed=$(cat "${fragments[@]}" | grep -E '^(CONFIG_|# CONFIG_.* is not set)' |
    while IFS= read -r line; do
        option=$(echo "$line" | grep -o 'CONFIG_[A-Za-z0-9_]*')
        got=$(grep -E "^($option=|# $option is not set)" "$obj/.config" || echo "# $option is not set")
        [ "$got" = "$line" ] || echo "  wanted '$line', got '$got'"
    done)
if [ -n "$missed" ]; then
    echo "debug kernel: the configuration of debug-$name lacks what the fragments ask for:" >&2
    echo "$missed" >&2
    exit 1
fi
echo "debug kernel: building debug-$name with $jobs jobs"
# `modules` (there are none) writes Module.symvers, which modpost reads for our modules.
kmake -j "$jobs" bzImage modules_prepare modules
release=$(kmake kernelrelease)

# busybox of the architecture: the one fetch.sh unpacked for Debian's kernel of that name.
# shellcheck disable=SC1090,SC2153  # fetch.sh's kernel.env sets BUSYBOX
busybox=$(. "$dir/$name/kernel.env" && echo "$BUSYBOX")
cat >"$out/kernel.env.tmp" <<ENV
FLAVOUR=debug-$name
ARCH=$arch
KERNEL_RELEASE=$release
KERNEL_VERSION=$version
KDIR=$obj
KERNEL_CC=gcc
VMLINUZ=$obj/arch/x86/boot/bzImage
BUSYBOX=$busybox
ENV
echo "$key" >"$out/KEY"
mv "$out/kernel.env.tmp" "$out/kernel.env"
echo "debug kernel: debug-$name ($release) built in $(($(date +%s) - start)) s"
