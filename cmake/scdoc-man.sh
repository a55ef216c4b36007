#!/bin/sh
# scdoc-man.sh SOURCE.scd OUTPUT: turns a manual page's scdoc source into roff and tidies the
# paragraph marks scdoc leaves where man(7) has no paragraph to start (right after a heading,
# before another heading or paragraph, before the end of an indented item, at the end), so that
# mandoc -T lint and groff -ww find nothing to say. Run by the build (cmake/OsfMan.cmake).
set -eu
source=$1
output=$2
# scdoc marks a paragraph with .P or, in other releases, .PP: the same macro in man(7), taken
# here as .P.
scdoc <"$source" | awk '
    { line[NR] = ($0 == ".PP" || $0 == ".LP") ? ".P" : $0 }
    END {
        # A page with a table asks man(1) for tbl on its first line.
        for (i = 1; i <= NR; i++)
            if (line[i] == ".TS") { print "\x27\\\" t"; break }
        # A paragraph mark just before the end of an indented item belongs after it.
        for (i = 1; i < NR; i++)
            if (line[i] == ".P" && line[i + 1] == ".RE") { line[i] = ".RE"; line[i + 1] = ".P" }
        previous = ""
        for (i = 1; i <= NR; i++) {
            if (line[i] == ".P") {
                next_line = (i < NR) ? line[i + 1] : ""
                if (previous ~ /^\.(TH|SH|SS|P)( |$)/ || next_line ~ /^\.(SH|SS|P)( |$)/ ||
                    i == NR)
                    continue
            }
            print line[i]
            previous = line[i]
        }
    }' >"$output.tmp"
mv "$output.tmp" "$output"
