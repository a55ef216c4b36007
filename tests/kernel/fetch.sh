#!/bin/bash
# fetch.sh DIR [LIST]: downloads the test kernels that LIST names (default: kernels.list beside
# this script; see there) from Debian's archive into DIR and unpacks them there with dpkg;
# nothing is installed into the system. Each kernel gets DIR/NAME/ with its kernel image, its
# headers and kbuild helpers, and busybox-static of its architecture, at the release the archive
# names today (for backports, the newest kernel they hold). DIR/NAME/kernel.env is written last
# (FLAVOUR, ARCH, KERNEL_RELEASE, KERNEL_VERSION, KDIR, VMLINUZ, BUSYBOX, KERNEL_CC, BUILD_ROOT),
# so its presence means "done": the modules' build and the kernel test bed read it, and once
# every kernel has one a run returns at once, fetching nothing.
#
# Modules are built with the compiler the kernel was built with (KERNEL_CC, from its headers'
# configuration). Where this host lacks that compiler, or cannot run the kernel's kbuild
# helpers, they are built in a minimal root of the kernel's own Debian release,
# DIR/roots/RELEASE/ (BUILD_ROOT; made by cmake/build-root.sh, once, and entered by
# cmake/kbuild.sh); otherwise BUILD_ROOT is empty and the host builds them.
#
#   fetch.sh --check-helper FILE: only tells whether kbuild's helper program FILE can run here.
#
# apt works from private state under DIR (DIR/apt/SUITE/, cmake/apt-private.sh), with the
# package sources written out there: never the host's sources, so the host's release does not
# matter, and no root is needed but for making a build root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cmake/mirror.sh
. "$here/../../cmake/mirror.sh"
# shellcheck source=cmake/apt-private.sh
. "$here/../../cmake/apt-private.sh"

# check_helper FILE: kbuild's helpers (fixdep, modpost) are programs of the kernel's
# architecture; i386 ones run through the host's i386 C library, natively or, where the host
# cannot execute i386 programs itself, through qemu-user-static. bash reports an exec format
# error as status 126 and a missing program loader (no i386 C library) as 127; under
# qemu-user-static a missing loader is qemu's own failure, so look for the loader first.
check_helper() {
    local rc=0 loader
    loader=$(readelf -l "$1" 2>/dev/null | sed -n 's/.*Requesting program interpreter: \(.*\)]$/\1/p')
    [ -z "$loader" ] || [ -e "$loader" ] || rc=127
    [ $rc -ne 0 ] || "$1" >/dev/null 2>&1 || rc=$?
    case $rc in
        126)
            echo "kernel: this host cannot execute i386 programs such as kbuild's $1;" \
                "\`make deps\` (as root) sets up Debian's qemu-user-static for them" >&2
            return 1 ;;
        127)
            echo "kernel: the i386 C library is missing (install g++-multilib: make deps)" >&2
            return 1 ;;
    esac
}

if [ "${1:-}" = --check-helper ]; then
    check_helper "${2:?usage: fetch.sh --check-helper FILE}"
    exit
fi

# helpers_run KDIR: true if kbuild's helpers of the headers in KDIR run on this host: neither
# their loader nor a library they need (at the version they need) is missing.
helpers_run() {
    local helper err rc
    for helper in "$1/scripts/basic/fixdep" "$1/scripts/mod/modpost" \
        "$1"/tools/objtool/objtool.real-x86; do
        [ -e "$helper" ] || continue
        rc=0
        err=$("$helper" 2>&1 >/dev/null) || rc=$?
        [ $rc -ne 126 ] && [ $rc -ne 127 ] || return 1
        ! grep -qE 'error while loading shared libraries|version .GLIBC' <<<"$err" || return 1
    done
}

dir=${1:?usage: fetch.sh DIR [LIST]}
list=${2:-$here/kernels.list}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The kernels, each with its Debian architecture, the suite it comes from and the meta-package
# that names its current release.
kernels=()
declare -A arch_of=() suite_of=() meta_of=()
while read -r name arch suite meta _; do
    [[ -z $name || $name == \#* ]] && continue
    kernels+=("$name")
    arch_of[$name]=$arch suite_of[$name]=$suite meta_of[$name]=$meta
done <"$list"

# One fetch at a time (two build trees, or lint, may ask at once).
exec 9>"$dir/.lock"
flock 9
missing=()
for name in "${kernels[@]}"; do
    # (A kernel.env that names no compiler is from a fetch that did not choose one.)
    grep -qs '^KERNEL_CC=.' "$dir/$name/kernel.env" || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# The Debian release of a suite, and the pool its packages are downloaded into: DIR/debs for
# Debian 12's own, which also gives every kernel its busybox; DIR/debs-SUITE for the others.
release_of_suite() { echo "${1%-backports}"; }
pool_of() { if [ "$1" = bookworm ]; then echo "$dir/debs"; else echo "$dir/debs-$1"; fi; }
opts() { apt_private_opts "$dir/apt/$1"; }

# update SUITE: reads the package lists of one suite, once per run.
declare -A updated=()
update() {
    [ -n "${updated[$1]:-}" ] && return
    apt_private_update "$dir/apt/$1" "$1" kernel
    updated[$1]=1
}

# resolve NAME: sets the packages to download for one kernel (packages[NAME]: its kernel image,
# headers, common headers, kbuild helpers and busybox, each with its architecture or version),
# its release and version, its image's path, and the libraries its kbuild helpers need.
declare -A packages=() release_of=() version_of=() image_of=() libraries_of=()
resolve() {
    local name=$1 arch=${arch_of[$1]} suite=${suite_of[$1]} meta=${meta_of[$1]}
    local image release version depends common kbuild
    update "$suite"
    update bookworm
    # shellcheck disable=SC2046
    image=$(apt-cache $(opts "$suite") depends "$meta:$arch" 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ :]*\).*/\1/p' | head -n 1)
    if [ -z "$image" ]; then
        cat "$dir/apt/$suite/update.log" >&2
        echo "kernel: the archive offers no $arch $meta ($suite)" >&2
        exit 1
    fi
    release=${image#linux-image-}
    release=${release%-unsigned}
    # From 7.x the image package only depends on linux-binary-RELEASE, which holds the kernel
    # under usr/lib/modules/RELEASE/; in older series the image package holds it under boot/.
    # shellcheck disable=SC2046
    depends=$(apt-cache $(opts "$suite") depends "$image:$arch" 2>/dev/null)
    if grep -q "Depends: linux-binary-$release\$" <<<"$depends"; then
        image=linux-binary-$release
        image_of[$name]=usr/lib/modules/$release/vmlinuz
    else
        image_of[$name]=boot/vmlinuz-$release
    fi
    # The headers, their common part and the kbuild helpers come from one source package: take
    # all three at the headers' version.
    # shellcheck disable=SC2046
    version=$(apt-cache $(opts "$suite") show --no-all-versions "linux-headers-$release:$arch" |
        sed -n 's/^Version: //p' | head -n 1)
    # shellcheck disable=SC2046
    depends=$(apt-cache $(opts "$suite") depends "linux-headers-$release:$arch")
    common=$(echo "$depends" | grep -o 'linux-headers-[^ :>]*-common' | head -n 1)
    kbuild=$(echo "$depends" | grep -o 'linux-kbuild-[^ :>]*' | head -n 1)
    if [ -z "$version" ] || [ -z "$common" ] || [ -z "$kbuild" ]; then
        echo "kernel: cannot tell the version, common headers or kbuild package of $release" >&2
        exit 1
    fi
    packages[$name]="$image:$arch linux-headers-$release:$arch=$version $common=$version"
    packages[$name]+=" $kbuild:$arch=$version busybox-static:$arch"
    release_of[$name]=$release
    version_of[$name]=$version
    # What a build root needs to run the helpers: for amd64 their own libraries; i386 ones run
    # through the amd64 root's i386 C library.
    if [ "$arch" = i386 ]; then
        libraries_of[$name]=libc6-i386
    else
        # shellcheck disable=SC2046
        libraries_of[$name]=$(apt-cache $(opts "$suite") depends "$kbuild:$arch" |
            sed -n 's/^ *Depends: <\{0,1\}\([^ :>]*\).*/\1/p' | sort -u | xargs)
    fi
}

# unpack NAME: the downloaded packages of one kernel into DIR/NAME/root.
unpack() {
    local name=$1 root=$dir/$1/root entry package deb
    rm -rf "$root"
    mkdir -p "$root"
    for entry in ${packages[$name]}; do
        package=${entry%%[:=]*}
        # One file per package in the pools: <package>_<version>_<arch>.deb.
        deb=$(find "$(pool_of "${suite_of[$name]}")" "$dir/debs" -maxdepth 1 \
            \( -name "${package}_*_all.deb" -o -name "${package}_*_${arch_of[$name]}.deb" \) \
            2>/dev/null | head -n 1)
        if [ -z "$deb" ]; then
            echo "kernel: $package was not downloaded" >&2
            exit 1
        fi
        case $package in
            # Of the image only the kernel is needed (its modules are hundreds of megabytes): the
            # test kernel boots from an initramfs of ours.
            linux-image-* | linux-binary-*)
                dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$root" "./${image_of[$name]}" ;;
            *) dpkg -x "$deb" "$root" ;;
        esac
    done
}

# finish NAME: makes the unpacked headers usable where they are and chooses where the modules
# are built: here, with the kernel's own compiler, or in a root of the kernel's Debian release
# (root_of[NAME]; roots[RELEASE] collects what each root needs).
declare -A compiler_of=() root_of=() roots=()
finish() {
    local name=$1 root=$dir/$1/root release=${release_of[$1]} kdir wanted compiler have makefile
    local debian
    kdir=$root/usr/src/linux-headers-$release
    # The headers' Makefiles include the common tree by its installed path: point them here.
    for makefile in "$kdir/Makefile" "$root"/usr/src/linux-headers-*-common/Makefile; do
        [ -f "$makefile" ] && sed -i "s#/usr/src/#$root/usr/src/#g" "$makefile"
    done
    # The headers name the compiler the kernel was built with: modules must use the same one.
    wanted=$(sed -n 's/^CONFIG_CC_VERSION_TEXT="\(.*\)"$/\1/p' "$kdir/.config")
    compiler=${wanted%% *}
    compiler_of[$name]=$compiler
    have=$("$compiler" --version 2>/dev/null | head -n 1 || true)
    if [ -n "$have" ]; then
        check_helper "$kdir/scripts/basic/fixdep" || exit 1
        if helpers_run "$kdir"; then
            [ "$have" = "$wanted" ] ||
                echo "kernel: note: $release was built with '$wanted', building with '$have'"
            root_of[$name]=""
            return
        fi
    fi
    debian=$(release_of_suite "${suite_of[$name]}")
    root_of[$name]=$dir/roots/$debian
    echo "kernel: $release was built with '$wanted': its modules are built in a Debian $debian" \
        "root, ${root_of[$name]}"
    # W=1 runs kernel-doc over the sources: a perl script, a python one from 6.17 on.
    roots[$debian]+=" gcc-${compiler##*gcc-} make libc6-dev dwarves perl python3"
    roots[$debian]+=" ${libraries_of[$name]}"
}

# write_env NAME: kernel.env, last.
write_env() {
    local name=$1 root=$dir/$1/root release=${release_of[$1]} arch=${arch_of[$1]}
    [ "$arch" = amd64 ] && arch=x86_64
    cat >"$dir/$name/kernel.env.tmp" <<EOF
FLAVOUR=$name
ARCH=$arch
KERNEL_RELEASE=$release
KERNEL_VERSION=${version_of[$name]}
KDIR=$root/usr/src/linux-headers-$release
VMLINUZ=$root/${image_of[$name]}
BUSYBOX=$root/bin/busybox
KERNEL_CC=${compiler_of[$name]}
BUILD_ROOT=${root_of[$name]}
EOF
    mv "$dir/$name/kernel.env.tmp" "$dir/$name/kernel.env"
    echo "kernel: $name: $release ready in $root"
}

for name in "${missing[@]}"; do
    resolve "$name"
done

# One download per suite, each package once (three kernels share the 6.1 common headers), into
# that suite's pool; every busybox-static from Debian 12.
declare -A wanted_in=()
for name in "${missing[@]}"; do
    for entry in ${packages[$name]}; do
        case $entry in
            busybox-static:*) wanted_in[bookworm]+=" $entry" ;;
            *) wanted_in[${suite_of[$name]}]+=" $entry" ;;
        esac
    done
done
for suite in "${!wanted_in[@]}"; do
    pool=$(pool_of "$suite")
    # shellcheck disable=SC2086  # a list of package names
    mapfile -t wanted < <(printf '%s\n' ${wanted_in[$suite]} | sort -u)
    echo "kernel: downloading ${wanted[*]}"
    mkdir -p "$pool"
    for entry in "${wanted[@]}"; do
        rm -f "$pool/${entry%%[:=]*}"_*.deb
    done
    # shellcheck disable=SC2046
    (cd "$pool" && apt-get $(opts "$suite") download "${wanted[@]}")
done

for name in "${missing[@]}"; do
    unpack "$name"
    finish "$name"
done
for debian in "${!roots[@]}"; do
    # shellcheck disable=SC2086  # a list of package names
    bash "$here/../../cmake/build-root.sh" make "$dir/roots/$debian" "$debian" ${roots[$debian]}
done
for name in "${missing[@]}"; do
    write_env "$name"
done
