#!/bin/sh
# scdoc-include.sh SOURCE OUTPUT: writes SOURCE to OUTPUT with each line
# "@include FILE PART NAME=VALUE..." replaced by the lines of FILE (relative to SOURCE's folder)
# between "@part PART" and the next "@part" line or the end, every @NAME@ in them replaced by
# VALUE: text that several pages share, written once. Run by the build (cmake/OsfMan.cmake).
set -eu
awk -v dir="$(dirname "$1")" '
    $1 == "@include" {
        file = dir "/" $2
        inside = 0
        found = 0
        while ((getline line < file) > 0) {
            if (line ~ /^@part /) {
                inside = (substr(line, 7) == $3)
                found = found || inside
                continue
            }
            if (!inside) continue
            for (i = 4; i <= NF; i++) {
                split($i, pair, "=")
                gsub("@" pair[1] "@", pair[2], line)
            }
            print line
        }
        close(file)
        if (!found) {
            print FILENAME ":" FNR ": no part " $3 " in " file > "/dev/stderr"
            exit 1
        }
        next
    }
    { print }' "$1" >"$2.tmp"
mv "$2.tmp" "$2"
