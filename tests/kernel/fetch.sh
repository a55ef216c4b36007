#!/bin/bash
# fetch.sh DIR: downloads the four test kernels from Debian's archive into DIR and unpacks them
# there with dpkg; nothing is installed into the system. Each kernel gets DIR/NAME/:
#   686         Debian 12's i386 686 kernel (two-level paging)
#   686-pae     Debian 12's i386 686-pae kernel (three-level paging, PAE)
#   amd64       Debian 12's amd64 kernel (four-level paging, five-level on a CPU with LA57)
#   amd64-6.12  the amd64 kernel of bookworm-backports (the 6.12 series)
# each with its image's /boot, its headers and kbuild helpers, and busybox-static of its
# architecture, at the release the archive names today. DIR/NAME/kernel.env is written last
# (FLAVOUR, ARCH, KERNEL_RELEASE, KERNEL_VERSION, KDIR, VMLINUZ, BUSYBOX), so its presence means
# "done": the modules' build and the kernel test bed read it, and once all four are there a
# run returns at once, fetching nothing.
#
#   fetch.sh --check-helper FILE: only tells whether kbuild's helper program FILE can run here.
#
# apt works from private state directories under DIR (DIR/apt/*), so the host needs no
# `dpkg --add-architecture` and no root, and never waits for the system's apt lock. Debian 12's
# own kernels come from the system's package sources; bookworm-backports, which those do not
# list, from a sources list of its own. /etc/apt is never changed.
set -euo pipefail

kernels=(686 686-pae amd64 amd64-6.12)

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

dir=${1:?usage: fetch.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# One fetch at a time (two build trees, or lint, may ask at once).
exec 9>"$dir/.lock"
flock 9
# The one-kernel layout of before (DIR/kernel.env, DIR/root, DIR/apt/{state,cache}) is no more.
rm -rf "$dir/kernel.env" "$dir/root" "$dir/apt/state" "$dir/apt/cache" "$dir/apt/update.log"
missing=()
for name in "${kernels[@]}"; do
    [ -f "$dir/$name/kernel.env" ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Where each kernel comes from: its Debian architecture, the package sources (the system's own
# for Debian 12, or bookworm-backports) and the meta-package that names its current release.
arch_of() { case $1 in 686*) echo i386 ;; *) echo amd64 ;; esac; }
source_of() { case $1 in amd64-6.12) echo backports ;; *) echo bookworm ;; esac; }
meta_of() { case $1 in amd64-6.12) echo linux-image-amd64 ;; *) echo "linux-image-$1" ;; esac; }

# apt_opts SOURCE: the options of one private apt state. No translations, no contents indexes:
# only the package lists are needed.
apt_opts() {
    local state=$dir/apt/$1
    echo "-q -o Dir::State=$state/state -o Dir::Cache=$state/cache
        -o APT::Architecture=amd64 -o APT::Architectures::=amd64 -o APT::Architectures::=i386
        -o Acquire::Languages=none -o Acquire::IndexTargets::deb::Contents-deb::DefaultEnabled=false
        -o APT::Sandbox::User=$(id -un) -o Acquire::Retries=3"
    if [ "$1" = backports ]; then
        echo "-o Dir::Etc::SourceList=$state/sources.list -o Dir::Etc::SourceParts=$state/sources.list.d"
    fi
}

# update SOURCE: reads the package lists of one source, once per run.
declare -A updated=()
update() {
    local state=$dir/apt/$1
    [ -n "${updated[$1]:-}" ] && return
    mkdir -p "$state/state/lists/partial" "$state/cache/archives/partial"
    if [ "$1" = backports ]; then
        mkdir -p "$state/sources.list.d"
        local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
        local options=""
        [ -f "$keyring" ] && options="[signed-by=$keyring] "
        echo "deb ${options}http://deb.debian.org/debian bookworm-backports main" >"$state/sources.list"
    fi
    echo "kernel: reading the package lists ($1)"
    # A source that fails (a third-party one, say) need not stop us: what counts is whether the
    # packages below can be found.
    # shellcheck disable=SC2046
    apt-get $(apt_opts "$1") update >"$state/update.log" 2>&1 ||
        echo "kernel: apt-get update reported errors ($state/update.log); going on with what it got"
    updated[$1]=1
}

# resolve NAME: sets the packages to download for one kernel (packages[NAME]: image headers
# common kbuild busybox, each with its architecture or version) and its release and version.
declare -A packages=() release_of=() version_of=()
resolve() {
    local name=$1 arch source meta image release version depends common kbuild
    arch=$(arch_of "$name")
    source=$(source_of "$name")
    meta=$(meta_of "$name")
    update "$source"
    # shellcheck disable=SC2046
    image=$(apt-cache $(apt_opts "$source") depends "$meta:$arch" 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ :]*\).*/\1/p' | head -n 1)
    if [ -z "$image" ]; then
        cat "$dir/apt/$source/update.log" >&2
        echo "kernel: the archive offers no $arch $meta ($source)" >&2
        exit 1
    fi
    release=${image#linux-image-}
    release=${release%-unsigned}
    # The headers, their common part and the kbuild helpers come from one source package: take
    # all three at the headers' version.
    # shellcheck disable=SC2046
    version=$(apt-cache $(apt_opts "$source") show --no-all-versions "linux-headers-$release:$arch" |
        sed -n 's/^Version: //p' | head -n 1)
    # shellcheck disable=SC2046
    depends=$(apt-cache $(apt_opts "$source") depends "linux-headers-$release:$arch")
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
}

# unpack NAME: the downloaded packages of one kernel into DIR/NAME/root.
unpack() {
    local name=$1 root=$dir/$1/root entry package deb
    rm -rf "$root"
    mkdir -p "$root"
    for entry in ${packages[$name]}; do
        package=${entry%%[:=]*}
        # One file per package in the pools: <package>_<version>_<arch>.deb.
        deb=$(find "$dir/debs-backports" "$dir/debs" -maxdepth 1 \( -name "${package}_*_all.deb" \
            -o -name "${package}_*_$(arch_of "$name").deb" \) 2>/dev/null | head -n 1)
        if [ -z "$deb" ]; then
            echo "kernel: $package was not downloaded" >&2
            exit 1
        fi
        case $package in
            # Of the image only the kernel is needed (its modules are hundreds of megabytes): the
            # test kernel boots from an initramfs of ours.
            linux-image-*) dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$root" ./boot ;;
            *) dpkg -x "$deb" "$root" ;;
        esac
    done
}

# finish NAME: makes the unpacked headers usable where they are, checks that their helpers and
# their compiler work here, and writes kernel.env.
finish() {
    local name=$1 root=$dir/$1/root release=${release_of[$1]} kdir wanted compiler have makefile
    kdir=$root/usr/src/linux-headers-$release
    # The headers' Makefiles include the common tree by its installed path: point them here.
    for makefile in "$kdir/Makefile" "$root"/usr/src/linux-headers-*-common/Makefile; do
        [ -f "$makefile" ] && sed -i "s#/usr/src/#$root/usr/src/#g" "$makefile"
    done
    check_helper "$kdir/scripts/basic/fixdep"
    # The headers name the compiler the kernel was built with: modules must use the same one.
    wanted=$(sed -n 's/^CONFIG_CC_VERSION_TEXT="\(.*\)"$/\1/p' "$kdir/.config")
    compiler=${wanted%% *}
    have=$("$compiler" --version 2>/dev/null | head -n 1 || true)
    if [ -z "$have" ]; then
        echo "kernel: $release was built with '$wanted', and $compiler is not installed" >&2
        exit 1
    fi
    [ "$have" = "$wanted" ] || echo "kernel: note: $release was built with '$wanted', building with '$have'"
    local arch
    arch=$(arch_of "$name")
    [ "$arch" = amd64 ] && arch=x86_64
    cat >"$dir/$name/kernel.env.tmp" <<EOF
FLAVOUR=$name
ARCH=$arch
KERNEL_RELEASE=$release
KERNEL_VERSION=${version_of[$name]}
KDIR=$kdir
VMLINUZ=$root/boot/vmlinuz-$release
BUSYBOX=$root/bin/busybox
EOF
    mv "$dir/$name/kernel.env.tmp" "$dir/$name/kernel.env"
    echo "kernel: $name: $release ready in $root"
}

for name in "${missing[@]}"; do
    resolve "$name"
done

# One download per source, each package once (three kernels share the 6.1 common headers), into
# a pool per source: DIR/debs for Debian 12's own packages, DIR/debs-backports.
for source in bookworm backports; do
    wanted=()
    for name in "${missing[@]}"; do
        [ "$(source_of "$name")" = "$source" ] || continue
        # busybox-static is Debian 12's own, whichever source the kernel comes from.
        for entry in ${packages[$name]}; do
            [[ $entry == busybox-static:* ]] || wanted+=("$entry")
        done
    done
    [ "$source" = bookworm ] && for name in "${missing[@]}"; do
        wanted+=("busybox-static:$(arch_of "$name")")
    done
    [ ${#wanted[@]} -eq 0 ] && continue
    pool=$dir/debs
    [ "$source" = backports ] && pool=$dir/debs-backports
    mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sort -u)
    echo "kernel: downloading ${wanted[*]}"
    mkdir -p "$pool"
    for entry in "${wanted[@]}"; do
        rm -f "$pool/${entry%%[:=]*}"_*.deb
    done
    # shellcheck disable=SC2046
    (cd "$pool" && apt-get $(apt_opts "$source") download "${wanted[@]}")
done

for name in "${missing[@]}"; do
    unpack "$name"
    finish "$name"
done
