# shellcheck shell=dash
# lib.sh: helpers for the guest's scenario scripts (sourced by init). A scenario is a section
# of the console output: "@@ begin NAME", what its commands printed, then "@@ kmsg" and the
# raw kernel log written meanwhile (read and cleared, with levels: "<6>[time] text"), then
# "@@ end NAME". The host's parser (guest_log.cpp) splits the output the same way.

# shellcheck disable=SC2034  # used by the suites that source this file
KO=/lib/modules

begin() {
    echo "@@ begin $1"
}

finish() {
    echo "@@ kmsg"
    dmesg -r -c
    echo "@@ end $1"
}

# run COMMAND...: prints "$ COMMAND", its output, then "rc=STATUS".
run() {
    echo "\$ $*"
    "$@" 2>&1
    echo "rc=$?"
}

# node PATH: "node PATH: char MAJOR MINOR" (hex, as stat prints them) or "node PATH: absent".
node() {
    if [ -c "$1" ]; then
        echo "node $1: char $(stat -c '%t %T' "$1")"
    else
        echo "node $1: absent"
    fi
}

# class NAME: whether /sys/class/NAME exists.
class() {
    if [ -e "/sys/class/$1" ]; then echo "class $1: present"; else echo "class $1: absent"; fi
}

# devices NAME: how many device-number regions are named NAME, and their majors.
devices() {
    echo "devices $1: $(awk -v name="$1" '$2 == name' /proc/devices | wc -l) $(awk -v name="$1" '$2 == name { printf "%s ", $1 }' /proc/devices)"
}

# procs LABEL: the process ids /proc lists now.
procs() {
    # shellcheck disable=SC2012  # /proc's process folders are numbers
    echo "procs $1: $(cd /proc && ls -d [0-9]* | sort -n | tr '\n' ' ')"
}

# registrations LABEL: the character-device regions, classes and modules, one line each.
registrations() {
    echo "chardevs $1: $(sed -n '/^Character/,/^$/p' /proc/devices | sed '1d;$d' | tr -s ' ' | tr '\n' '|')"
    # shellcheck disable=SC2012  # class names are plain words
    echo "classes $1: $(ls /sys/class | tr '\n' ' ')"
    echo "modules $1: $(cut -d ' ' -f 1 /proc/modules | tr '\n' ' ')"
}
