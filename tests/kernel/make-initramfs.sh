#!/bin/sh
# make-initramfs.sh OUT KERNEL_ENV GUEST_DIR FILE...: packs the test guest's initramfs (a gzip
# compressed cpio archive, as the kernel unpacks it) into OUT: busybox (from the unpacked
# packages named in KERNEL_ENV, see fetch.sh), GUEST_DIR/init as /init, the other guest
# scripts under /etc/osf, every *.ko FILE under /lib/modules and every other FILE (static i386
# programs) under /bin. Run by the build (tests/kernel/CMakeLists.txt).
set -eu
out=$1
kernel_env=$2
guest=$3
shift 3
. "$kernel_env"

staging=$out.d
rm -rf "$staging"
mkdir -p "$staging/bin" "$staging/dev" "$staging/proc" "$staging/sys" "$staging/tmp" \
    "$staging/etc/osf" "$staging/lib/modules"
cp "$BUSYBOX" "$staging/bin/busybox"
cp "$guest/init" "$staging/init"
chmod 755 "$staging/init"
cp "$guest"/*.sh "$staging/etc/osf/"
for file in "$@"; do
    case $file in
        *.ko) cp "$file" "$staging/lib/modules/" ;;
        *) cp "$file" "$staging/bin/" ;;
    esac
done
(cd "$staging" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) | gzip -n -1 >"$out.tmp"
mv "$out.tmp" "$out"
rm -rf "$staging"
