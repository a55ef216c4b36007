#!/bin/sh
# fetch-checkpatch.sh DIR: fetches the kernel's own style checker for `make lint`. Debian's
# kernel headers do not ship scripts/checkpatch.pl, so this downloads Debian's linux-source-6.1
# package with `apt-get download` (the same upstream version as the headers that
# tests/kernel/fetch.sh unpacked, when the archive still offers it) and takes only
# scripts/checkpatch.pl and the two data files it reads out of its tarball into DIR. The tarball
# itself stays as DIR/linux-source-6.1.tar.xz, from which tests/kernel/debug/build.sh builds the
# debugging kernels, so the source is downloaded once for both. Nothing is installed into the
# system; DIR/VERSION is written last, so its presence means "done" and a later run fetches
# nothing.
#
# apt works from a private state directory under DIR with Debian 12's sources written out
# (cmake/apt-private.sh, as in tests/kernel/fetch.sh): never the host's sources, no root, no
# wait for the system's apt lock.
set -eu

dir=${1:?usage: fetch-checkpatch.sh DIR [KERNEL_DEBS_DIR]}
kernel_debs=${2:-}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

exec 9>"$dir/.lock"
flock 9
[ -f "$dir/VERSION" ] && [ -f "$dir/linux-source-6.1.tar.xz" ] && exit 0

# shellcheck source=cmake/mirror.sh
. "$(dirname "$0")/mirror.sh"
# shellcheck source=cmake/apt-private.sh
. "$(dirname "$0")/apt-private.sh"
mkdir -p "$dir/deb"
apt_private_update "$dir/apt" bookworm checkpatch
apt_opts=$(apt_private_opts "$dir/apt")

package=linux-source-6.1
# The headers' own version (e.g. 6.1.192-3), if their package is at hand.
wanted=""
for deb in "$kernel_debs"/linux-headers-*-common_*.deb; do
    [ -f "$deb" ] && wanted=$(dpkg-deb -f "$deb" Version)
done
# shellcheck disable=SC2086
offered=$(apt-cache $apt_opts madison "$package" | awk -F'|' '{gsub(/ /, "", $2); print $2}')
if [ -z "$offered" ]; then
    cat "$dir/apt/update.log" >&2
    echo "checkpatch: the archive offers no $package" >&2
    exit 1
fi
if [ -n "$wanted" ] && echo "$offered" | grep -qx "$wanted"; then
    version=$wanted
else
    version=$(echo "$offered" | head -n 1)
    [ -z "$wanted" ] || echo "checkpatch: note: $package $wanted is gone; taking $version"
fi

echo "checkpatch: downloading $package $version (about 140 MB, once)"
rm -f "$dir"/deb/*.deb
# shellcheck disable=SC2086
(cd "$dir/deb" && apt-get $apt_opts download "$package=$version")

# The package holds usr/src/linux-source-6.1.tar.xz; take the three files out of that tarball
# without unpacking the rest.
tarball=usr/src/$package.tar.xz
top=$package
rm -rf "$dir/src" "$dir/scripts"
mkdir -p "$dir/src"
dpkg-deb --fsys-tarfile "$dir"/deb/*.deb | tar -x -C "$dir/src" "./$tarball"
rm -f "$dir/VERSION" "$dir/$package.tar.xz"
tar -xJf "$dir/src/$tarball" -C "$dir" --strip-components=1 \
    "$top/scripts/checkpatch.pl" "$top/scripts/spelling.txt" "$top/scripts/const_structs.checkpatch"
mv "$dir/src/$tarball" "$dir/$package.tar.xz"
rm -rf "$dir/src" "$dir/deb"

echo "$package $version" >"$dir/VERSION.tmp"
mv "$dir/VERSION.tmp" "$dir/VERSION"
echo "checkpatch: $dir/scripts/checkpatch.pl from $package $version"
