#!/bin/sh
# Installs the Debian packages listed in cmake/deps/*.list (one name per line, '#' comments),
# skipping those already installed. Safe to run again; never asks a question.
set -eu
here=$(dirname "$0")
wanted=$(cat "$here"/deps/*.list | sed -e 's/#.*//' | tr -s ' \t' '\n\n' | grep -v '^$' | sort -u)
missing=""
for pkg in $wanted; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = installed ] || missing="$missing $pkg"
done
if [ -z "$missing" ]; then
    echo "deps: all $(echo "$wanted" | wc -l) packages present"
    exit 0
fi
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
        exit 0
    fi
    echo "deps: apt-get failed (attempt $attempt); retrying" >&2
    sleep 10
done
exit 1
