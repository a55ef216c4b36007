#!/bin/sh
# Installs the Debian packages listed in cmake/deps/*.list (one name per line, '#' comments),
# skipping those already installed, then makes sure this host runs i386 programs: where its
# kernel cannot, it installs Debian's qemu-user-static and registers it for them in binfmt_misc
# (cmake/i386-exec.sh, which says in one line what it did and how to undo it); where it can,
# it changes nothing. With I386=emulated (make check I386=emulated) qemu-user-static is
# installed in any case, for a run that forces the emulated path. Safe to run again; never
# asks a question.
set -eu
here=$(dirname "$0")

# This host's release, for the messages ("Debian GNU/Linux 13 (trixie)").
release=$(sed -n 's/^PRETTY_NAME=//p' /etc/os-release 2>/dev/null | tr -d '"')
[ -n "$release" ] || release="this host's release"

# apt_run LOG COMMAND...: runs an apt command, its output kept in LOG as well, retrying only a
# temporary failure (the package lock held too long, the network). Any other failure is final.
apt_run() {
    log=$1
    shift
    for attempt in 1 2 3 4 5 6; do
        rm -f "$log.status"
        { "$@" 2>&1 || echo $? >"$log.status"; } | tee "$log"
        rc=$(cat "$log.status" 2>/dev/null || echo 0)
        # (apt-get update says that an index could not be fetched, yet exits 0.)
        if ! grep -Eq 'Could not get lock|Unable to lock|Failed to fetch|Unable to fetch|Temporary failure|Could not connect|Could not resolve|Connection (failed|timed out|reset)|Hash Sum mismatch|File has unexpected size' "$log"; then
            return "$rc"
        fi
        [ "$attempt" -lt 6 ] || break
        echo "deps: apt-get failed for a temporary cause (attempt $attempt); retrying" >&2
        sleep 10
    done
    echo "deps: apt-get failed 6 times, each for a temporary cause (above): try again later" >&2
    return 1
}

# install PACKAGE...: installs those of the packages that are not installed yet. A package
# that this release's archive lacks stops it at once, and so does a package whose install
# would remove one of the host's: apt never removes anything here (--no-remove).
install() {
    missing=""
    for pkg in "$@"; do
        status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
        [ "$status" = installed ] || missing="$missing $pkg"
    done
    [ -n "$missing" ] || return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "deps: missing:$missing" >&2
        echo "deps: run as root: apt-get update && apt-get install -y --no-install-recommends$missing" >&2
        exit 1
    fi
    echo "deps: installing:$missing"
    export DEBIAN_FRONTEND=noninteractive LC_ALL=C
    [ -n "${log:-}" ] || { log=$(mktemp /tmp/osfacets-deps-XXXXXX) && trap 'rm -f "$log" "$log.status"' EXIT; }
    lock="-o DPkg::Lock::Timeout=120"
    # shellcheck disable=SC2086
    apt_run "$log" apt-get $lock update -qq || exit 1
    absent=""
    for pkg in $missing; do
        candidate=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p')
        case $candidate in "" | "(none)") absent="$absent $pkg" ;; esac
    done
    if [ -n "$absent" ]; then
        echo "deps: $release has no package:$absent (apt-cache policy" \
            "finds no candidate in this host's apt sources)" >&2
        exit 1
    fi
    # shellcheck disable=SC2086
    removed=$(apt-get $lock install -s -qq --no-install-recommends $missing 2>/dev/null |
        sed -n 's/^Remv \([^ ]*\).*/\1/p' | tr '\n' ' ')
    if [ -n "$removed" ]; then
        echo "deps: installing$missing would remove these packages of this host: ${removed% }." \
            "Nothing was changed. Your choice: remove them yourself (apt-get remove" \
            "${removed% }) and run make deps again, or keep them and do without this project's" \
            "build and tests." >&2
        exit 1
    fi
    # shellcheck disable=SC2086
    apt_run "$log" apt-get $lock install -y -qq --no-remove --no-install-recommends $missing ||
        exit 1
}

wanted=$(cat "$here"/deps/*.list | sed -e 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
# shellcheck disable=SC2086
install $wanted
echo "deps: all $(echo "$wanted" | wc -l) packages present"
# Without root, setup names the cause and the remedy.
state=$(sh "$here/i386-exec.sh" probe)
if [ "$state" = none ] && [ "$(id -u)" -eq 0 ] || [ "${I386:-}" = emulated ]; then
    install qemu-user-static
fi
sh "$here/i386-exec.sh" setup
