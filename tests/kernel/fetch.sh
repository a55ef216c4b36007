#!/bin/bash
# fetch.sh DIR [LIST]: for the test kernels that LIST names (default: kernels.list beside this
# script; see there), one root per suite, DIR/roots/SUITE (cmake/root.sh), where apt has
# installed what the kernels' modules need to build (their headers, which bring the kbuild
# helpers and the compiler each kernel was built with, and binutils, make, pahole, perl and
# python3 for kbuild) and has downloaded the kernels' images and busybox-static of their
# architectures, of which only the kernels and busybox are kept. A root of i386 kernels is an
# amd64 root with i386 added: kbuild's helpers and Debian's kernel compilers are Multi-Arch:
# foreign, so apt installs the native ones, which build for i386 as well. DIR/NAME/kernel.env
# is written last for each kernel (FLAVOUR, ARCH, KERNEL_RELEASE, KERNEL_VERSION, ROOT, KDIR
# inside ROOT, VMLINUZ, BUSYBOX): the modules' build (cmake/kbuild.sh, in ROOT) and the kernel
# test bed read it. Roots are kept while the list asks for the same; two are made at a time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: fetch.sh DIR [LIST]}
list=${2:-$here/kernels.list}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The images and busybox are only downloaded, never installed (an image's modules and initramfs
# are not needed): the kernels are taken out of whichever package holds them (boot/ up to 6.x,
# the modules' folder from 7.x on), busybox to /busybox.ARCH. The hook runs with the root as $1
# and the packages as the rest, once apt has installed everything else.
# shellcheck disable=SC2016  # expanded by the hook's shell
hook='root=$1
shift
for package; do
    chroot "$root" apt-get install --quiet --yes --download-only "$package" >/dev/null
done
for deb in "$root"/var/cache/apt/archives/*.deb; do
    case $deb in
        */linux-*) dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$root" --wildcards \
            "./boot/vmlinuz-*" "./usr/lib/modules/*/vmlinuz" 2>/dev/null || : ;;
        */busybox-static_*) arch=${deb##*_}
            dpkg-deb --fsys-tarfile "$deb" | tar -x -O --wildcards "*bin/busybox" \
                >"$root/busybox.${arch%.deb}" ;;
    esac
done'

# The suites in the list's order (the primary kernel's, with most kernels, first), and the
# kernels of each, each "NAME ARCH IMAGE;".
suites=()
declare -A kernels_of=()
while read -r name arch suite image _; do
    [[ -z $name || $name == \#* ]] && continue
    [ -n "${kernels_of[$suite]:-}" ] || suites+=("$suite")
    kernels_of[$suite]+="$name $arch $image;"
done <"$list"

# fetch SUITE: the root of one suite and the kernel.env of each of its kernels.
fetch() {
    local suite=$1 root=$dir/roots/$1 archs=amd64 packages=() downloads=() kernels kernel
    local name arch image headers release vmlinuz env from=""
    # A backports kernel's packages come from the backports, the rest from the release.
    [ "$suite" = "${suite%-backports}" ] || from=/$suite
    IFS=';' read -ra kernels <<<"${kernels_of[$suite]}"
    for kernel in "${kernels[@]}"; do
        read -r name arch image <<<"$kernel"
        [[ ,$archs, == *,$arch,* ]] || archs+=,$arch
        packages+=("${image/linux-image/linux-headers}:$arch$from")
        downloads+=("$image:$arch$from")
        [[ " ${downloads[*]} " == *" busybox-static:$arch "* ]] ||
            downloads+=("busybox-static:$arch")
    done
    bash "$here/../../cmake/root.sh" make "$root" "$suite" "$archs" apt "${packages[@]}" \
        binutils make dwarves perl python3 --dpkgopt=path-exclude=/usr/share/{doc,man,locale}/'*' \
        --customize-hook="sh -c '$hook' hook \"\$1\" ${downloads[*]}"
    for kernel in "${kernels[@]}"; do
        read -r name arch image <<<"$kernel"
        # The headers of the release that the headers' meta-package brought.
        headers=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Depends}' \
            "${image/linux-image/linux-headers}:$arch" | grep -o 'linux-headers-[^ ,]*' | head -n 1)
        release=${headers#linux-headers-}
        vmlinuz=$root/boot/vmlinuz-$release
        [ -f "$vmlinuz" ] || vmlinuz=$root/lib/modules/$release/vmlinuz
        if [ ! -f "$vmlinuz" ] || [ ! -s "$root/busybox.$arch" ]; then
            echo "kernel: $name: no kernel image or busybox in $root" >&2
            return 1
        fi
        env=$dir/$name/kernel.env
        mkdir -p "$dir/$name"
        cat >"$env.tmp" <<EOF
FLAVOUR=$name
ARCH=${arch/amd64/x86_64}
KERNEL_RELEASE=$release
KERNEL_VERSION=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Version}' "$headers")
ROOT=$root
KDIR=/usr/src/$headers
VMLINUZ=$vmlinuz
BUSYBOX=$root/busybox.$arch
EOF
        if cmp -s "$env.tmp" "$env"; then
            rm "$env.tmp"
            touch "$env"
        else
            mv "$env.tmp" "$env"
            echo "kernel: $name: $release ready in $root"
        fi
    done
}

# One fetch at a time (two build trees, or lint, may ask at once).
exec 9>"$dir/.lock"
flock 9
pids=()
for suite in "${suites[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do sleep 1; done
    fetch "$suite" </dev/null &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
