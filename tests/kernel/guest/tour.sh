# shellcheck shell=dash
# tour.sh: the tour's walk through the modules (suite "tour", sourced by init): the commands a
# person would type at the guest's root shell, each shown after a prompt, with what they print.
# The kernel log is read with dmesg -c, so each reading shows only what is new.

say() {
    echo "~ # $*"
    "$@" 2>&1
}

dmesg -c >/dev/null
say insmod /lib/modules/tasklister.ko devname=tasks
say insmod /lib/modules/dirscan.ko devname=pgdir
say ls -l /dev/tasks /dev/pgdir
say dmesg -c
say ioctl_trigger /dev/tasks 0
say dmesg -c
say ioctl_trigger /dev/pgdir 0
say dmesg -c
say rmmod tasklister dirscan
say dmesg -c
