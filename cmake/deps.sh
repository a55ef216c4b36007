#!/bin/sh
# Installs the Debian packages listed in cmake/deps/*.list (one name per line, '#' comments),
# skipping those already installed, then makes sure this host runs i386 programs: where its
# kernel cannot, it installs Debian's qemu-user-static and registers it for them in binfmt_misc
# (cmake/i386-exec.sh, which says in one line what it did and how to undo it); where it can,
# it changes nothing. With I386=emulated (make check I386=emulated) qemu-user-static is
# installed in any case, for a run that forces the emulated path. Safe to run again; never
# asks a question. While another apt run holds apt's locks it waits (15 minutes at most), and an
# apt source that cannot be fetched does not stop it where every package needed is there.
set -eu
here=$(dirname "$0")

# This host's release, for the messages (its PRETTY_NAME).
release=$(sed -n 's/^PRETTY_NAME=//p' /etc/os-release 2>/dev/null | tr -d '"')
[ -n "$release" ] || release="this host's release"

# The lock files apt takes: the package lists' (apt-get update); dpkg's, its front end's and
# the download cache's (apt-get install). A routine apt run (unattended upgrades, apt's daily
# update) holds them for minutes: deps waits for them, 15 minutes at most in all.
lists_lock=/var/lib/apt/lists/lock
install_locks="/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/cache/apt/archives/lock"
waited="" wait_until=""

# lock_holder FILE: "process PID (COMMAND)", the process that holds a lock on FILE as
# /proc/locks lists it; empty if none does (or if /proc/locks cannot tell, apt-get will).
lock_holder() {
    dev=$(stat -c %d "$1" 2>/dev/null) || return 0
    ino=$(stat -c %i "$1")
    # /proc/locks names a file MAJOR:MINOR:INODE, the device numbers in hex.
    id=$(printf '%02x:%02x:%s' $((((dev >> 8) & 0xfff) | ((dev >> 32) & 0xfffff000))) \
        $(((dev & 0xff) | ((dev >> 12) & 0xffffff00))) "$ino")
    pid=$(awk -v id="$id" '$2 != "->" && $6 == id { print $5; exit }' /proc/locks 2>/dev/null) ||
        return 0
    [ -n "$pid" ] || return 0
    cmd=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || cmd=""
    if [ -n "$cmd" ]; then echo "process $pid (${cmd% })"; else echo "another process"; fi
}

# waiting WHAT: says, once for each WHAT, that deps waits for it; stops deps once it has waited
# 15 minutes in all.
waiting() {
    now=$(date +%s)
    [ -n "$wait_until" ] || wait_until=$((now + 900))
    if [ "$now" -ge "$wait_until" ]; then
        echo "deps: still waiting for $1 after 15 minutes in all: try again once it is done" >&2
        exit 1
    fi
    case $waited in *"|$1|"*) return 0 ;; esac
    waited="$waited|$1|"
    echo "deps: waiting for $1 (until $(date -d "@$wait_until" +%H:%M) at the latest)" >&2
}

# wait_for_locks FILE...: waits while another process holds a lock on one of the files.
wait_for_locks() {
    for file in "$@"; do
        while holder=$(lock_holder "$file") && [ -n "$holder" ]; do
            waiting "$file, held by $holder"
            sleep 2
        done
    done
}

# apt_run LOG LOCKS COMMAND...: runs an apt command once the lock files LOCKS are free, its
# output kept in LOG as well; where apt-get finds a lock held all the same, it waits and runs it
# again. Its status is the command's.
apt_run() {
    log=$1 locks=$2
    shift 2
    while :; do
        # shellcheck disable=SC2086
        wait_for_locks $locks
        rm -f "$log.status"
        { "$@" 2>&1 || echo $? >"$log.status"; } | tee "$log"
        rc=$(cat "$log.status" 2>/dev/null || echo 0)
        [ "$rc" -ne 0 ] &&
            grep -Eq 'Could not get lock|Unable to (lock|acquire the dpkg frontend lock)' "$log" ||
            return "$rc"
        waiting "the lock apt-get names above"
        sleep 20
    done
}

# retry WHAT: after a failed attempt (number $attempt) at WHAT, whose output is in $log: waits
# and counts the attempt if the cause was temporary (the network) and fewer than 6 were made;
# otherwise status 1, after 6 attempts with a word on it.
retry() {
    grep -Eq 'Failed to fetch|Unable to fetch|Temporary failure|Could not connect|Unable to connect|Could not resolve|Connection (failed|timed out|reset)|Hash Sum mismatch|File has unexpected size' "$log" ||
        return 1
    if [ "$attempt" -ge 6 ]; then
        echo "deps: $1 failed 6 times, each for a temporary cause (above): try again later" >&2
        return 1
    fi
    echo "deps: $1 failed for a temporary cause (attempt $attempt); retrying" >&2
    attempt=$((attempt + 1))
    sleep 10
}

# failed_sources LOG: the apt sources that apt-get update could not use, as its output in LOG
# names them ("URI SUITE"), on one line.
failed_sources() {
    sed -n -e 's/.*Failed to fetch \([^ ]*\).*/\1/p' \
        -e "s/^E\(rror\)\{0,1\}: The repository '\([^']*\)'.*/\2/p" "$1" |
        sed -e 's,/dists/\([^/]*\)/.*, \1,' -e 's/ Release$//' | sort -u |
        awk 'NR > 1 { printf ", " } { printf "%s", $0 }'
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
    # apt-get update exits 0 though it could not fetch a source's index, and 100 where a source
    # has no Release file; the package lists may have every package needed all the same (a
    # third-party source that does not answer need not stop deps). So the candidates judge it:
    # with all of them there deps goes on, naming the sources that failed; without, a failed
    # fetch is retried, any other failure is final, and no failure means the release lacks them.
    attempt=1
    while :; do
        rc=0
        # shellcheck disable=SC2086
        apt_run "$log" "$lists_lock" apt-get $lock update -qq || rc=$?
        failed=$(failed_sources "$log")
        absent=""
        for pkg in $missing; do
            candidate=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p')
            case $candidate in "" | "(none)") absent="$absent $pkg" ;; esac
        done
        [ -n "$absent" ] || break
        if [ "$rc" -eq 0 ] && [ -z "$failed" ]; then
            echo "deps: $release has no package:$absent (apt-cache policy" \
                "finds no candidate in this host's apt sources)" >&2
            exit 1
        fi
        retry "apt-get update" && continue
        echo "deps: no package:$absent in the package lists at hand, apt-get update having" \
            "failed (above)" >&2
        exit 1
    done
    if [ -n "$failed" ]; then
        echo "deps: going on without $failed, which apt-get update could not use (above):" \
            "every package needed has a candidate" >&2
    elif [ "$rc" -ne 0 ]; then
        echo "deps: going on although apt-get update failed (above):" \
            "every package needed has a candidate" >&2
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
    attempt=1
    # shellcheck disable=SC2086
    until apt_run "$log" "$install_locks" \
        apt-get $lock install -y -qq --no-remove --no-install-recommends $missing; do
        retry "apt-get install" || exit 1
    done
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

# Subordinate user and group ids for root, which the user namespaces of the package builds and
# tests map (sbuild and autopkgtest-virt-unshare in make deb and make check-deb): 65536 of
# each, after every range already given, and only where root has none.
if [ "$(id -u)" -eq 0 ] && ! { grep -qs '^root:' /etc/subuid && grep -qs '^root:' /etc/subgid; }; then
    first=$(cat /etc/subuid /etc/subgid 2>/dev/null |
        awk -F: 'NF == 3 && $2 + $3 > top { top = $2 + $3 } END { print (top > 100000 ? top : 100000) }')
    range=$first-$((first + 65535))
    usermod --add-subuids "$range" --add-subgids "$range" root
    echo "deps: gave root the subordinate ids $range (/etc/subuid, /etc/subgid) for the package" \
        "builds' user namespaces (undo: usermod --del-subuids $range --del-subgids $range root)"
fi
