#!/bin/sh
# elf-kind.sh FILE: the ELF class, machine and type of FILE, read from its ELF header, as
# "ELF32 i386 REL" (a relocatable object), "ELF32 i386 DYN" (a shared object or a PIE
# executable), "ELF64 x86-64 EXEC" and the like; "not ELF" for any other file. Tests compare
# this, not the wording of file(1), which differs between releases.
set -eu
# The first 20 bytes as hex pairs: magic (0-3), class (4), data (5), ..., e_type (16-17),
# e_machine (18-19), both little-endian on x86.
# shellcheck disable=SC2046  # one word per byte
set -- $(od -An -v -tx1 -N20 "$1" 2>/dev/null) ""
if [ $# -lt 21 ] || [ "$1$2$3$4" != 7f454c46 ]; then
    echo "not ELF"
    exit 0
fi
case $5 in 01) class=ELF32 ;; 02) class=ELF64 ;; *) class="ELF(class $5)" ;; esac
type=${18}${17} machine=${20}${19}
case $type in 0001) type=REL ;; 0002) type=EXEC ;; 0003) type=DYN ;; 0004) type=CORE ;; esac
case $machine in 0003) machine=i386 ;; 003e) machine=x86-64 ;; *) machine="machine 0x$machine" ;; esac
echo "$class $machine $type"
