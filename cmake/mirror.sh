# shellcheck shell=sh
# mirror.sh, sourced by every script that downloads from Debian's archive: where the archive is,
# as this host's own apt sources say (/etc/apt/sources.list.d/*.sources, *.list and
# /etc/apt/sources.list), so that a host with its own mirror, proxy or cache is respected.
# MIRROR= and SECURITY_MIRROR= override them.
#
#   archive_mirror     the URI of the source that serves this host's release (its suite named
#                      as /etc/os-release's VERSION_CODENAME), for every release
#   security_mirror    the URI of the source that serves <release>-security
# Each prints the URI, or says on standard error that none is found and fails.

# apt_entries: "TYPE URI SUITE" for each enabled entry of the host's apt sources, one per suite.
apt_entries() {
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        # One-line style: "deb [options] URI SUITE COMPONENT...".
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" | awk 'NF >= 3 { print $1, $2, $3 }'
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # deb822 style: stanzas of Types, URIs, Suites (each a list), Enabled.
        awk 'function flush() {
                 if (enabled != "no")
                     for (t in types) for (u in uris) for (s in suites)
                         print types[t], uris[u], suites[s]
                 delete types; delete uris; delete suites; enabled = ""
             }
             /^#/ { next }
             /^[ \t]*$/ { flush(); next }
             { field = tolower($1); sub(/:$/, "", field); $1 = "" }
             field == "types" { split($0, types, " ") }
             field == "uris" { split($0, uris, " ") }
             field == "suites" { split($0, suites, " ") }
             field == "enabled" { enabled = tolower($2) }
             END { flush() }' "$file"
    done
}

# mirror_for SUITE WHAT: the URI of the first deb entry for SUITE.
mirror_for() {
    uri=$(apt_entries | awk -v suite="$1" '$1 == "deb" && $3 == suite { print $2; exit }')
    if [ -z "$uri" ]; then
        echo "${0##*/}: this host's apt sources name no $2 (no deb entry for $1): set $3=" >&2
        return 1
    fi
    echo "${uri%/}"
}

host_codename() {
    sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"'
}

archive_mirror() {
    if [ -n "${MIRROR:-}" ]; then echo "${MIRROR%/}"; return; fi
    mirror_for "$(host_codename)" "Debian archive" MIRROR
}

security_mirror() {
    if [ -n "${SECURITY_MIRROR:-}" ]; then echo "${SECURITY_MIRROR%/}"; return; fi
    mirror_for "$(host_codename)-security" "Debian security archive" SECURITY_MIRROR
}
