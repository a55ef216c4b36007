#!/bin/bash
# deb.sh: the Debian packages (debian/), built and tested with Debian's own tools.
#
#   deb.sh build [RELEASE]  (make deb) the source package of the current commit, then its
#                           packages, each build in a clean root of RELEASE by sbuild: amd64
#                           and Architecture: all natively, i386 cross-built (profiles cross
#                           and nocheck). lintian runs in those roots. Everything lands in
#                           build/deb/ (.dsc, .deb, .changes, .buildinfo, .build logs).
#   deb.sh test [RELEASE...] (make check-deb) build/deb's packages installed by autopkgtest in a
#                           fresh root of each RELEASE (autopkgtest-virt-unshare), where
#                           debian/tests runs: an amd64 root with i386 enabled and the
#                           kernel headers for the tests marked amd64, an i386 root for those
#                           marked i386. Logs and artifacts in build/deb/autopkgtest/.
# RELEASE is by default the oldest release that osfacets ships for (cmake/releases.list), and
# the tests run by default on each.
#
# The roots are tarballs in build/deb/roots/, each made once (cmake/root.sh) and brought up to
# date by sbuild and autopkgtest (apt-get upgrade) at every use. Uncommitted changes are not in
# the packages. Root, or subordinate ids for user namespaces (make deps gives root some), and
# the network are needed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
out=$repo/build/deb
roots=$out/roots
mapfile -t releases < <(bash "$here/root.sh" releases)

usage() {
    echo "usage: deb.sh build [RELEASE] | deb.sh test [RELEASE...]" >&2
    exit 2
}

check_release() {
    [[ $1 =~ ^[a-z][a-z0-9-]*$ ]] || {
        echo "deb: RELEASE='$1'? name a Debian release: ${releases[*]}, ..." >&2
        exit 2
    }
}

# root_tarball NAME RELEASE ARCHS VARIANT [PACKAGE...]: roots/NAME.tar, a root of RELEASE for
# the architectures ARCHS (cmake/root.sh: made once). Prints its path.
root_tarball() {
    bash "$here/root.sh" make "$roots/$1.tar" "${@:2}" >&2 && echo "$roots/$1.tar"
}

# source_package: the source package of the current commit in build/deb/; prints its .dsc.
source_package() {
    local version
    version=$(dpkg-parsechangelog -l "$repo/debian/changelog" -SVersion)
    rm -rf "$out/src"
    mkdir -p "$out/src/osfacets-$version"
    git -C "$repo" archive HEAD | tar -x -C "$out/src/osfacets-$version"
    (cd "$out/src" && dpkg-source --build "osfacets-$version" >/dev/null)
    mv "$out/src/osfacets_$version".* "$out/"
    rm -rf "$out/src"
    echo "$out/osfacets_$version.dsc"
}

# sbuild_in TARBALL ARGUMENT...: one sbuild run in a root unpacked from TARBALL, into build/deb.
sbuild_in() {
    local tar=$1
    shift
    SBUILD_CONFIG=$here/deb/sbuild.conf sbuild --chroot-mode=unshare --chroot="$tar" \
        --dist="$(dpkg-parsechangelog -l "$repo/debian/changelog" -SDistribution)" \
        --build-dir="$out" --nolog --no-run-piuparts --no-run-autopkgtest --run-lintian \
        --purge=always "$@"
}

build() {
    local release=$1 tar dsc start=$SECONDS amd64 i386 status=0 arch
    check_release "$release"
    tar=$(root_tarball "$release-build" "$release" amd64 buildd)
    find "$out" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.changes' -o -name '*.buildinfo' \
        -o -name '*.dsc' -o -name '*.tar.xz' \) -delete
    dsc=$(source_package)
    # The two builds side by side (each mostly unpacks and installs: one core apiece), the cross
    # build from a copy of the source, since the native one writes the source back at its end.
    echo "deb: building $(basename "$dsc") in two $release roots (sbuild): for amd64 and all," \
        "and cross-built for i386 (profiles cross,nocheck)"
    sbuild_in "$tar" --arch=amd64 --arch-all --source "$dsc" >"$out/build-amd64.log" 2>&1 &
    amd64=$!
    rm -rf "$out/cross" && mkdir -p "$out/cross" && cp "${dsc%.dsc}".* "$out/cross/"
    sbuild_in "$tar" --host=i386 --no-arch-all --no-source --profiles=cross,nocheck \
        "$out/cross/$(basename "$dsc")" >"$out/build-i386.log" 2>&1 &
    i386=$!
    wait $amd64 || { status=1 && build_failed amd64; }
    wait $i386 || { status=1 && build_failed i386; }
    rm -rf "$out/cross"
    [ $status -eq 0 ] || exit 1
    for arch in amd64 i386; do
        sed -n '/^Running lintian/,/^. Lintian run/p' "$out/build-$arch.log" |
            grep -E '^[EWIPXO]: ' || true
    done
    echo "deb: built in $((SECONDS - start)) s:"
    for file in "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo; do
        echo "    ${file#"$out"/} ($(du -k "$file" | cut -f1) KiB)"
    done
}

build_failed() {
    tail -n 40 "$out/build-$1.log" >&2
    echo "deb: the $1 build failed (its log: $out/build-$1.log)" >&2
}

# autopkgtest_in RELEASE ARCH TARBALL: debian/tests' tests for ARCH against build/deb's packages.
autopkgtest_in() {
    local release=$1 arch=$2 tar=$3 results=$out/autopkgtest/$1-$2 start=$SECONDS status=0
    rm -rf "$results"
    mkdir -p "$out/autopkgtest"
    echo "deb: autopkgtest in a fresh $release $arch root"
    autopkgtest --apt-upgrade --output-dir="$results" --no-built-binaries \
        "$out"/osfacets_*.dsc "$out"/*.deb -- unshare --release "$release" --arch "$arch" \
        --tarball "$tar" >"$results.log" 2>&1 || status=$?
    # The tests for the other architecture show as skipped (status 2).
    sed -n '/@@@@* summary/,$p' "$results.log" | grep -v -e '^blame: ' -e ' SKIP '
    echo "deb: autopkgtest in $release $arch: $((SECONDS - start)) s, status $status"
    { [ $status -eq 0 ] || [ $status -eq 2 ]; } && grep -q ' PASS$' "$results/summary"
}

run_tests() {
    local release arch status=0 image=() runs=() run pids=()
    for release in "$@"; do
        check_release "$release"
    done
    if ! ls "$out"/*.deb >/dev/null 2>&1; then
        echo "deb: no packages in $out: make deb first" >&2
        exit 1
    fi
    # The roots first, then the runs, two at a time (each mostly unpacks and installs).
    for release in "$@"; do
        # The kernel's own image too where its modules are booted (tests/kernel/dkms.cmake).
        image=()
        [ "$release" = "${releases[-1]}" ] && image=(linux-image-amd64)
        root_tarball "$release-amd64" "$release" amd64,i386 apt linux-headers-amd64 \
            "${image[@]}" >/dev/null || status=1
        root_tarball "$release-i386" "$release" i386 apt >/dev/null || status=1
        runs+=("$release amd64" "$release i386")
    done
    [ $status -eq 0 ] || return 1
    for run in "${runs[@]}"; do
        while [ "$(jobs -rp | wc -l)" -ge 2 ]; do sleep 1; done
        read -r release arch <<<"$run"
        autopkgtest_in "$release" "$arch" "$roots/$release-$arch.tar" &
        pids+=($!)
    done
    for run in "${pids[@]}"; do
        wait "$run" || status=1
    done
    return $status
}

case ${1:-} in
    build) [ $# -le 2 ] || usage; build "${2:-${releases[0]}}" ;;
    test) shift; [ $# -gt 0 ] || set -- "${releases[@]}"; run_tests "$@" ;;
    *) usage ;;
esac
