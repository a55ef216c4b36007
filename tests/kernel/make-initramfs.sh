#!/bin/sh
# make-initramfs.sh OUT KERNEL_ENV GUEST_DIR ITEM...: packs a test guest's initramfs (a gzip
# compressed cpio archive, as the kernel unpacks it) into OUT: busybox of the kernel's
# architecture (the one KERNEL_ENV names, see fetch.sh), GUEST_DIR/init
# as /init, the other guest scripts under /etc/osf, and each ITEM: a *.ko FILE under
# /lib/modules, any other FILE (a static program of the guest's architecture) under /bin, and
# PATH=FILE at PATH in the guest. Run by the build (tests/kernel/CMakeLists.txt).
set -eu
out=$1
kernel_env=$2
guest=$3
shift 3
# shellcheck source=/dev/null
. "$kernel_env"

staging=$out.d
rm -rf "$staging"
mkdir -p "$staging/bin" "$staging/dev" "$staging/proc" "$staging/sys" "$staging/tmp" \
    "$staging/etc/osf" "$staging/lib/modules"
install -m 755 "$BUSYBOX" "$staging/bin/busybox"
cp "$guest/init" "$staging/init"
chmod 755 "$staging/init"
cp "$guest"/*.sh "$staging/etc/osf/"
for item in "$@"; do
    case $item in
        *=*)
            mkdir -p "$staging/$(dirname "${item%%=*}")"
            cp "${item#*=}" "$staging/${item%%=*}" ;;
        *.ko) cp "$item" "$staging/lib/modules/" ;;
        *) cp "$item" "$staging/bin/" ;;
    esac
done
(cd "$staging" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) | gzip -n -1 >"$out.tmp"
mv "$out.tmp" "$out"
rm -rf "$staging"
