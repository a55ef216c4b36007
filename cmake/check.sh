#!/bin/bash
# check.sh check|sanitize|deb: the bodies of make check, make check-sanitize and make
# check-deb (the Makefile passes JOBS and CTEST_FLAGS). Each runs every part, also after one has
# failed, and exits 1 if any failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
# shellcheck source=cmake/namespace.sh
. cmake/namespace.sh
read -ra ctest_flags <<<"${CTEST_FLAGS:---output-on-failure -j ${JOBS:-2}}"
jobs=${JOBS:-$(nproc)}
status=0

case ${1:-} in
check)
    ctest --test-dir build/i386 "${ctest_flags[@]}" -LE 'debugkernel|dkmskernel' || status=1
    ctest --test-dir build/x86_64 "${ctest_flags[@]}" || status=1
    # The kernels' roots are entered in mount namespaces of their own: a mount left under build/
    # would make `rm -rf build` reach into what it mounts. (The tree itself may be a mount.)
    if mounted_under "$PWD/build"; then
        findmnt -rn -o TARGET | grep -F "$PWD/build" >&2
        echo "check: the mounts above remain under $PWD/build" >&2
        status=1
    fi
    ;;
sanitize)
    # The i386 tree's programs run with ASan+UBSan; under emulation without LeakSanitizer, which
    # stops the world with ptrace, which qemu-user does not offer. The x86-64 tree runs the same
    # sources with ASan+UBSan and LeakSanitizer on every host, so leak checking never depends
    # on it.
    i386_env=()
    if [ "$(sh cmake/i386-exec.sh probe)" = emulated ]; then
        i386_env=(ASAN_OPTIONS=detect_leaks=0)
        echo "check-sanitize: i386 programs run under emulation: the i386 tree runs without" \
            "LeakSanitizer, the x86-64 tree checks the same sources for leaks"
    fi
    # The kernel side: the i386 tree builds the two debugging kernels (once) and the modules for
    # them, and boots each with every scenario (tests labelled debugkernel). Those boots mostly
    # wait (each module unload waits for the kernel's delayed releases) and use under one core,
    # so they run in the background while the sanitizer trees build and run.
    make --no-print-directory build-i386 &&
        cmake --build --preset i386 -j "$jobs" --target debug_kernel_bed || exit 1
    boots_log=build/i386/debugkernel.log
    echo "check-sanitize: the debugging kernels' boots run in the background ($boots_log)"
    ctest --test-dir build/i386 "${ctest_flags[@]}" -L debugkernel >"$boots_log" 2>&1 &
    boots=$!
    if env "${i386_env[@]}" cmake --preset i386-asan >/dev/null &&
        env "${i386_env[@]}" cmake --build --preset i386-asan -j "$jobs" &&
        cmake --preset x86_64-asan >/dev/null &&
        cmake --build --preset x86_64-asan -j "$jobs" &&
        cmake --preset x86_64-tsan >/dev/null &&
        cmake --build --preset x86_64-tsan -j "$jobs"; then
        env "${i386_env[@]}" ctest --test-dir build/i386-asan "${ctest_flags[@]}" -LE 'kernel|nosanitize' || status=1
        ctest --test-dir build/x86_64-asan "${ctest_flags[@]}" -LE 'kernel|nosanitize' || status=1
        ctest --test-dir build/x86_64-tsan "${ctest_flags[@]}" -L threaded || status=1
    else
        status=1
    fi
    wait $boots || status=1
    echo "check-sanitize: the debugging kernels' tests:"
    cat "$boots_log"
    ;;
deb)
    # The package tests, then the DKMS-built modules of the newest release's root in the kernel
    # test bed.
    bash cmake/deb.sh test || status=1
    cmake --build --preset i386 -j "$jobs" --target dkms_kernel_bed &&
        ctest --test-dir build/i386 "${ctest_flags[@]}" -L dkmskernel || status=1
    ;;
*)
    echo "usage: check.sh check|sanitize|deb" >&2
    exit 2
    ;;
esac
exit $status
