#!/bin/sh
# i386-exec.sh: how this host runs i386 programs, and the binfmt_misc entry that lets it run
# them through Debian's qemu-user-static where its kernel cannot (a kernel without IA32
# emulation, or with it switched off). Every i386 deliverable, its tests and kbuild's helpers
# for the 32-bit kernels need one of the two.
#
#   sh cmake/i386-exec.sh probe     prints native, emulated (through a binfmt_misc entry),
#                                   none (exec format error), unbuildable (no gcc -m32), or
#                                   failed (any other cause, which it names on stderr)
#   sh cmake/i386-exec.sh setup     for `make deps`: where the host runs no i386 program,
#                                   registers the emulator (root only); elsewhere changes nothing
#   sh cmake/i386-exec.sh require   stops with the cause and the remedy unless i386 programs run
#   sh cmake/i386-exec.sh with-emulation COMMAND [ARG...]
#                                   runs COMMAND with i386 programs emulated even on a host that
#                                   runs them itself: registers the entry for the run and removes
#                                   it after, unless an entry was there already (I386=emulated)
#
# The entry is named osfacets-i386 and lasts until the next boot; `make deps` makes it again.
# Undo by hand: echo -1 > /proc/sys/fs/binfmt_misc/osfacets-i386
set -eu

binfmt=/proc/sys/fs/binfmt_misc
entry=osfacets-i386
qemu=/usr/bin/qemu-i386-static
build=$(cd "$(dirname "$0")/.." && pwd)/build
sources=$(cd "$(dirname "$0")" && pwd)/i386-probe
undo="echo -1 > $binfmt/$entry"
# The ELF header of an i386 executable (class 32, little-endian, version 1, type EXEC or DYN,
# machine 3) and the bits of it that must match, as binfmt_misc takes them; F: the emulator is
# opened now, so the entry works in any mount namespace and for any user.
rule=":$entry:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00"
rule="$rule:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff"
rule="$rule:$qemu:F"

# probe: builds the small i386 program cmake/i386-probe/probe.c and its starter start.c (this
# host's own architecture) in the build tree, not /tmp, which may be mounted noexec; the
# starter tells how the kernel runs the program (start.c says how it knows).
probe() {
    mkdir -p "$build"
    dir=$(mktemp -d "$build/i386-probe-XXXXXX")
    if ! gcc -m32 -o "$dir/probe" "$sources/probe.c" 2>/dev/null; then
        rm -rf "$dir"
        echo unbuildable
        return
    fi
    if ! gcc -o "$dir/start" "$sources/start.c" 2>/dev/null; then
        rm -rf "$dir"
        echo "i386: gcc cannot build a program for this host" >&2
        echo failed
        return
    fi
    rc=0
    out=$("$dir/start" "$dir/probe" 2>&1) || rc=$?
    rm -rf "$dir"
    case $rc:$out in
        127:ENOEXEC) echo none ;;
        7:native) echo native ;;
        7:"emulated "*) echo emulated ;;
        *)
            echo "i386: the i386 probe program in $build did not run: ${out:-status $rc}" >&2
            echo failed
            ;;
    esac
}

# register: makes the entry (binfmt_misc mounted first if it is not).
register() {
    if [ ! -w "$binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    fi
    if [ ! -x "$qemu" ]; then
        echo "i386: $qemu is missing (Debian's qemu-user-static: make deps installs it)" >&2
        return 1
    fi
    if ! printf '%s\n' "$rule" >"$binfmt/register" 2>/dev/null; then
        echo "i386: cannot register $qemu in binfmt_misc ($binfmt/register): this host (a" \
            "container without the right, say) does not allow it; run on a host whose kernel" \
            "executes i386 programs, or give this one IA32 emulation or binfmt_misc" >&2
        return 1
    fi
}

unregister() {
    [ -e "$binfmt/$entry" ] && echo -1 >"$binfmt/$entry"
}

# cannot_run WHO REMEDY...: the cause, then the remedy, on standard error.
cannot_run() {
    who=$1
    shift
    echo "$who: this host's kernel cannot execute i386 programs (exec format error), and the" \
        "i386 deliverables, their tests and the 32-bit kernels' kbuild helpers are such" \
        "programs. $*" >&2
}

setup() {
    case $(probe) in
        native | emulated) return 0 ;;
        unbuildable)
            echo "deps: gcc -m32 cannot build an i386 program (is g++-multilib installed?)" >&2
            return 1
            ;;
        failed) return 1 ;;
    esac
    if [ "$(id -u)" -ne 0 ]; then
        cannot_run deps "Run make deps as root: it installs Debian's qemu-user-static and" \
            "registers it for i386 programs in binfmt_misc."
        return 1
    fi
    register
    if [ "$(probe)" != emulated ]; then
        echo "deps: i386 programs still do not run through $qemu ($binfmt/$entry)" >&2
        unregister
        return 1
    fi
    echo "deps: this host cannot execute i386 programs: registered $qemu for them in" \
        "binfmt_misc as $entry, until the next boot (undo: $undo)"
}

require() {
    case $(probe) in
        native | emulated) return 0 ;;
        unbuildable)
            echo "i386: gcc -m32 cannot build an i386 program: run make deps (g++-multilib)" >&2
            ;;
        none) cannot_run i386 "Run make deps as root: it sets up Debian's qemu-user-static for them." ;;
    esac
    return 1
}

with_emulation() {
    case $(probe) in
        emulated)
            "$@"
            return
            ;;
        native) ;;
        *)
            require
            return 1
            ;;
    esac
    if [ "$(id -u)" -ne 0 ]; then
        echo "i386: only root can register the emulator in binfmt_misc for I386=emulated" >&2
        return 1
    fi
    # The traps first, then the entry: an entry made before them would outlive a signal that
    # came in between. A hang-up (the terminal closed) ends the run like an interrupt, so that
    # the EXIT trap, which the shell skips on an untrapped signal, removes the entry.
    trap unregister EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    register
    if [ "$(probe)" != emulated ]; then
        echo "i386: i386 programs still do not run through $qemu ($binfmt/$entry)" >&2
        return 1
    fi
    echo "i386: running i386 programs through $qemu for this run ($binfmt/$entry, removed after)"
    rc=0
    "$@" || rc=$?
    return $rc
}

case ${1:-} in
    probe) probe ;;
    setup) setup ;;
    require) require ;;
    with-emulation)
        shift
        with_emulation "$@"
        ;;
    *)
        echo "usage: sh cmake/i386-exec.sh probe | setup | require | with-emulation COMMAND..." >&2
        exit 2
        ;;
esac
