#!/bin/sh
# fetch.sh DIR: downloads Debian's i386 686 kernel (image, headers, kbuild helpers) and
# busybox-static (i386) into DIR and unpacks them there with `dpkg -x`; nothing is installed
# into the system. The release is the one the archive offers today. Writes DIR/kernel.env
# (KERNEL_RELEASE, KDIR, VMLINUZ, BUSYBOX) last, so that file's presence means "done": the
# modules' build and the kernel test bed read it, and a rebuild never fetches again.
#
# apt works from a private state directory under DIR with i386 as its only architecture, so
# the host needs no `dpkg --add-architecture` and no root, and never waits for the system's
# apt lock. The package sources are the system's own.
set -eu

dir=${1:?usage: fetch.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
env_file=$dir/kernel.env

# One fetch at a time (two build trees may ask at once).
exec 9>"$dir/.lock"
flock 9
[ -f "$env_file" ] && exit 0

mkdir -p "$dir/apt/state/lists/partial" "$dir/apt/cache/archives/partial" "$dir/debs"
apt_opts="-q -o Dir::State=$dir/apt/state -o Dir::Cache=$dir/apt/cache
 -o APT::Architecture=i386 -o APT::Architectures::=i386
 -o APT::Sandbox::User=$(id -un) -o Acquire::Retries=3"

echo "kernel: reading the package lists for i386"
# A source that fails (a third-party one, say) need not stop us: what counts is whether the
# packages below can be found.
# shellcheck disable=SC2086
apt-get $apt_opts update >"$dir/apt/update.log" 2>&1 ||
    echo "kernel: apt-get update reported errors ($dir/apt/update.log); going on with what it got"

# The meta-package names the current release, e.g. linux-image-6.1.0-57-686.
# shellcheck disable=SC2086
image=$(apt-cache $apt_opts depends linux-image-686 | grep -o 'linux-image-[0-9][^ ]*-686' | head -n 1)
if [ -z "$image" ]; then
    cat "$dir/apt/update.log" >&2
    echo "kernel: the archive offers no i386 linux-image-686" >&2
    exit 1
fi
release=${image#linux-image-}
abi=${release%-686}
# shellcheck disable=SC2086
version=$(apt-cache $apt_opts show --no-all-versions "$image" | sed -n 's/^Version: //p' | head -n 1)
# shellcheck disable=SC2086
kbuild=$(apt-cache $apt_opts depends "linux-headers-$release" | grep -o 'linux-kbuild-[0-9.]*[0-9]' | head -n 1)
if [ -z "$version" ] || [ -z "$kbuild" ]; then
    echo "kernel: cannot tell the version or the kbuild package of $image" >&2
    exit 1
fi

echo "kernel: downloading $image $version, its headers, $kbuild and busybox-static (i386)"
rm -f "$dir"/debs/*.deb
# shellcheck disable=SC2086
(cd "$dir/debs" && apt-get $apt_opts download "$image" "linux-headers-$release" \
    "linux-headers-$abi-common" "$kbuild=$version" busybox-static)

root=$dir/root
rm -rf "$root"
mkdir -p "$root"
for deb in "$dir"/debs/*.deb; do
    dpkg -x "$deb" "$root"
done
# The image's own modules are not needed: the test kernel boots from an initramfs of ours.
rm -rf "$root/lib/modules/$release/kernel"

# The headers' Makefile includes the common tree by its installed path: point it here.
kdir=$root/usr/src/linux-headers-$release
sed -i "s#/usr/src/#$root/usr/src/#g" "$kdir/Makefile"

# kbuild's helper programs are i386 binaries: they run through the multilib i386 C library.
rc=0
"$kdir/scripts/basic/fixdep" >/dev/null 2>&1 || rc=$?
if [ "$rc" -ge 126 ]; then
    echo "kernel: the i386 C library is missing (install g++-multilib: make deps)" >&2
    exit 1
fi
# The headers name the compiler the kernel was built with: modules must use the same one.
wanted=$(sed -n 's/^CONFIG_CC_VERSION_TEXT="\(.*\)"$/\1/p' "$kdir/.config")
compiler=${wanted%% *}
have=$("$compiler" --version 2>/dev/null | head -n 1 || true)
if [ -z "$have" ]; then
    echo "kernel: $release was built with '$wanted', and $compiler is not installed" >&2
    exit 1
fi
[ "$have" = "$wanted" ] || echo "kernel: note: $release was built with '$wanted', building with '$have'"

cat >"$env_file.tmp" <<EOF
KERNEL_RELEASE=$release
KDIR=$kdir
VMLINUZ=$root/boot/vmlinuz-$release
BUSYBOX=$root/bin/busybox
EOF
mv "$env_file.tmp" "$env_file"
echo "kernel: $release ready in $root"
