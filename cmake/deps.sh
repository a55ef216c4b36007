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

# install PACKAGE...: installs those of the packages that are not installed yet.
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
    export DEBIAN_FRONTEND=noninteractive
    # Another apt run may hold the package lock for a while: wait for it rather than fail.
    for attempt in 1 2 3 4 5 6 7 8 9 10; do
        # shellcheck disable=SC2086
        if apt-get -o DPkg::Lock::Timeout=120 update -qq &&
            apt-get -o DPkg::Lock::Timeout=120 install -y -qq --no-install-recommends $missing; then
            return 0
        fi
        echo "deps: apt-get failed (attempt $attempt); retrying" >&2
        sleep 10
    done
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
