# shellcheck shell=dash
# vm.sh: a root shell for a person (suite "vm", sourced by init; `make vm` boots it through
# ../vm.sh). Shows what is at hand, then runs an interactive shell on the console, with the
# console as its controlling terminal (job control, Ctrl-C). When that shell ends (Ctrl-D, or
# exit), init powers the machine off and QEMU ends.
cat <<END

osfacets test VM: Linux $(uname -r) ($(uname -m)), a root shell on the serial console.
At hand: /lib/modules/tasklister.ko and dirscan.ko, ioctl_trigger, threads. For example:
  insmod /lib/modules/tasklister.ko devname=tasks
  threads &                     (a process with three sleeping threads)
  ioctl_trigger /dev/tasks 0
  dmesg | tail
  rmmod tasklister
Ctrl-D (or exit) leaves: the VM powers off.

END
export HOME=/ PS1='vm# '
cd /
setsid cttyhack sh -i
