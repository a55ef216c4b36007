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
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing
