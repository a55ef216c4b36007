# shellcheck shell=sh
# apt-private.sh: sourced by tests/kernel/fetch.sh and cmake/fetch-checkpatch.sh, after
# cmake/mirror.sh. Both download from Debian's archive with apt working from a private state
# folder, so the host needs no `dpkg --add-architecture`, never waits for the system's apt lock,
# and /etc/apt is never changed. The package sources are written out here, suite by suite,
# signed by debian-archive-keyring's keys (which hold both Debian 12's and Debian 13's), at the
# archive's address that the host's own sources give (mirror.sh): what is downloaded never
# depends on the host's release.

# apt_private_suites SET: the suites a set names. A release takes its security updates with it;
# backports stand alone, so that their meta-packages name backports' own kernel.
apt_private_suites() {
    case $1 in
        *-backports) echo "$1" ;;
        *) echo "$1 $1-security" ;;
    esac
}

# apt_private_setup STATE SET: writes STATE/sources.list for SET and makes apt's folders.
apt_private_setup() {
    mkdir -p "$1/state/lists/partial" "$1/cache/archives/partial" "$1/sources.list.d" \
        "$1/preferences.d"
    : >"$1/sources.list.tmp"
    apt_keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    for apt_suite in $(apt_private_suites "$2"); do
        case $apt_suite in
            *-security) apt_url=$(security_mirror) ;;
            *) apt_url=$(archive_mirror) ;;
        esac
        echo "deb [signed-by=$apt_keyring] $apt_url $apt_suite main" >>"$1/sources.list.tmp"
    done
    mv "$1/sources.list.tmp" "$1/sources.list"
}

# apt_private_opts STATE: the options of apt-get and apt-cache for that state. No translations,
# no contents indexes: only the package lists are needed. No preferences of the host's either.
apt_private_opts() {
    echo "-q -o Dir::State=$1/state -o Dir::Cache=$1/cache
        -o Dir::Etc::SourceList=$1/sources.list -o Dir::Etc::SourceParts=$1/sources.list.d
        -o Dir::Etc::Preferences=$1/preferences -o Dir::Etc::PreferencesParts=$1/preferences.d
        -o APT::Architecture=amd64 -o APT::Architectures::=amd64 -o APT::Architectures::=i386
        -o Acquire::Languages=none -o Acquire::IndexTargets::deb::Contents-deb::DefaultEnabled=false
        -o APT::Sandbox::User=$(id -un) -o Acquire::Retries=3"
}

# apt_private_update STATE SET WHO: sets STATE up for SET and reads its package lists, saying so
# as WHO. A failed update need not stop the caller: what counts is whether the packages it wants
# can then be found, and STATE/update.log tells why not.
apt_private_update() {
    apt_private_setup "$1" "$2"
    echo "$3: reading the package lists ($2)"
    # shellcheck disable=SC2046
    apt-get $(apt_private_opts "$1") update >"$1/update.log" 2>&1 ||
        echo "$3: apt-get update reported errors ($1/update.log); going on with what it got"
}
