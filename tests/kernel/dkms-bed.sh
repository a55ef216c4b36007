#!/bin/bash
# dkms-bed.sh ARTIFACTS BUSYBOX_ENV KERNEL_DIR MODULES: the test bed's view of the modules that
# DKMS built from the osfacets-dkms package in a Debian root (debian/tests/dkms keeps them in
# ARTIFACTS/<kernel release>/: the modules, their test builds in test/, the kernel's image as
# vmlinuz). Writes KERNEL_DIR/kernel.env for that kernel (its busybox is the one that
# BUSYBOX_ENV, a test kernel of the same architecture, names) and puts the modules, unpacked
# where DKMS compressed them, in MODULES/ and MODULES/test/, where osf_guest_bed takes them.
set -euo pipefail
artifacts=$1 busybox_env=$2 kernel_dir=$3 modules=$4
mapfile -t releases < <(find "$artifacts" -mindepth 1 -maxdepth 1 -type d -printf '%f\n')
if [ ${#releases[@]} -ne 1 ] || [ ! -f "$artifacts/${releases[0]}/vmlinuz" ]; then
    echo "dkms-bed: $artifacts should hold one kernel's modules and image (make check-deb" \
        "leaves them there)" >&2
    exit 1
fi
release=${releases[0]}
from=$artifacts/$release
mkdir -p "$kernel_dir" "$modules/test"
for module in tasklister dirscan; do
    for variant in "" test/; do
        file=$(find "$from/$variant" -maxdepth 1 -name "$module.ko*" | head -n 1)
        case $file in
            *.ko.xz) xz -dc "$file" ;;
            *.ko.zst) zstd -qdc "$file" ;;
            *.ko.gz) gzip -dc "$file" ;;
            *.ko) cat "$file" ;;
            *) echo "dkms-bed: no $variant$module.ko in $from" >&2; exit 1 ;;
        esac >"$modules/$variant$module.ko"
    done
done
# shellcheck source=/dev/null disable=SC2153  # BUSYBOX comes from the file
busybox=$(. "$busybox_env" && echo "$BUSYBOX")
cat >"$kernel_dir/kernel.env" <<ENV
FLAVOUR=$(basename "$kernel_dir")
ARCH=x86_64
KERNEL_RELEASE=$release
VMLINUZ=$from/vmlinuz
BUSYBOX=$busybox
ENV
