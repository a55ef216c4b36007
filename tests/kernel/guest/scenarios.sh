# shellcheck shell=dash
# scenarios.sh: the modules' scenarios, run one after another by the test guest's init (suite
# "main"). Each prints a section (lib.sh) that host test cases check (../*_test.cpp); the
# scripts only act and print, the host judges. Every scenario unloads what it loaded.

# The kernel's messages up to now (boot), and what is registered before any module loads.
begin boot
registrations before
finish boot

# The frame, in each module: load, node, open and close, read and write, unload.
for module in tasklister dirscan; do
    begin "frame_$module"
    run insmod "$KO/$module.ko" devname=foo
    node /dev/foo
    class foo
    devices foo
    # The parameter has permission 0: not shown under sysfs.
    if [ -e "/sys/module/$module/parameters/devname" ]; then
        echo "parameter file: present"
    else
        echo "parameter file: absent"
    fi
    echo "@@ step open_close"
    run ioctl_trigger /dev/foo
    echo "@@ step read_write"
    run ioctl_trigger /dev/foo read write
    echo "@@ step unload"
    run rmmod "$module"
    node /dev/foo
    class foo
    devices foo
    finish "frame_$module"
done

# until_line FILE TEXT: waits (at most 30 s) until FILE holds a line with TEXT.
until_line() {
    tries=0
    until grep -q "$2" "$1" 2>/dev/null || [ $tries -ge 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# tasklister's table: two ioctl numbers from one caller, with a process of several threads
# about (listed once, by its main thread); then a caller that is a second thread.
begin tasklister_table
run insmod "$KO/tasklister.ko" devname=tl
threads 3 600 >/tmp/threads &
threads_pid=$!
until_line /tmp/threads '^threads: '
cat /tmp/threads
# shellcheck disable=SC2012  # task folders are numbers
echo "tasks of the threaded process: $(ls "/proc/$threads_pid/task" | tr '\n' ' ')"
echo "shell pid $$"
procs before
run ioctl_trigger /dev/tl 0 4294967295
procs after
kill $threads_pid
wait $threads_pid 2>/dev/null
finish tasklister_table

begin tasklister_thread
echo "shell pid $$"
procs before
run ioctl_trigger /dev/tl thread:0
procs after
run rmmod tasklister
finish tasklister_thread

# dirscan's table for two different processes alive at the same time (so neither can inherit
# the other's page-table pages). The first holds the node open until told to let go (a line
# on its standard input): the module must refuse to unload until it closes it.
begin dirscan_table
run insmod "$KO/dirscan.ko" devname=ds
mkfifo /tmp/letgo
exec 3<>/tmp/letgo
(ioctl_trigger /dev/ds 0 hold <&3 >/tmp/holder 2>&1; echo "rc=$?" >>/tmp/holder) &
until_line /tmp/holder '^ioctl 0 '
run ioctl_trigger /dev/ds 7
run rmmod dirscan
node /dev/ds
echo go >&3
wait
exec 3>&-
echo "holder: $(tr '\n' '|' </tmp/holder)"
run rmmod dirscan
node /dev/ds
finish dirscan_table

# The test build's dirscan reads its directory's last entry as its flags alone: that entry is
# still counted and shown, with a zero address.
case $(uname -m) in
    x86_64) last=511 ;;
    *) case $(uname -r) in *-pae) last=3 ;; *) last=1023 ;; esac ;;
esac
begin dirscan_flags_only
run insmod "$KO/test/dirscan.ko" devname=dsf flags_only=$last
run ioctl_trigger /dev/dsf 0
run rmmod dirscan
finish dirscan_flags_only

# Both modules with one devname: the second load fails at class creation (the class name is
# taken), the first module goes on working. modload makes exactly one load attempt.
begin duplicate_devname
run insmod "$KO/tasklister.ko" devname=dup
run modload "$KO/dirscan.ko" devname=dup
devices dup
class dup
node /dev/dup
registrations during
run ioctl_trigger /dev/dup 0
run rmmod tasklister
registrations after
finish duplicate_devname

# The same with busybox's insmod, as a person would load it: it reports the error number.
# (It retries a failed load once more by another system call, so the init runs twice.)
begin duplicate_devname_insmod
run insmod "$KO/tasklister.ko" devname=dup
run insmod "$KO/dirscan.ko" devname=dup
devices dup
run rmmod tasklister
finish duplicate_devname_insmod

# No devname, an empty one, one that is no file name, or one /dev already has: refused,
# nothing registered.
begin missing_devname
registrations before
run modload "$KO/tasklister.ko"
run modload "$KO/dirscan.ko" devname=
run modload "$KO/tasklister.ko" devname=.
run modload "$KO/dirscan.ko" devname=..
run modload "$KO/tasklister.ko" devname=a/b
run modload "$KO/dirscan.ko" devname=null
node /dev/null
registrations after
finish missing_devname

# A devname longer than a file name may be (255 bytes) is refused too; one of 255 loads.
name255=$(printf '%255s' '' | tr ' ' n)
begin long_devname
registrations before
run modload "$KO/tasklister.ko" "devname=${name255}x"
registrations after
run modload "$KO/dirscan.ko" "devname=$name255"
node "/dev/$name255"
run rmmod dirscan
finish long_devname

# The frame's failure paths (failure_paths.sh) and load/unload cycles (cycles.sh), unless the
# suite runs them in boots of their own (debug.sh).
if [ -z "${loads_apart:-}" ]; then
    # shellcheck source=SCRIPTDIR/failure_paths.sh
    . /etc/osf/failure_paths.sh
    # shellcheck source=SCRIPTDIR/cycles.sh
    . /etc/osf/cycles.sh
fi

# ioctls from several processes (and threads) at once while other processes fork and exit.
churn() {
    n=0
    while [ $n -lt 150 ]; do
        (:) &
        (:) &
        wait
        n=$((n + 1))
    done
}
begin concurrent
run insmod "$KO/tasklister.ko" devname=tl
run insmod "$KO/dirscan.ko" devname=ds
churn &
churn &
(ioctl_trigger /dev/tl 0 1 3 4 7 thread:5 thread:6 >/tmp/caller1 2>&1; echo "rc=$?" >>/tmp/caller1) &
(ioctl_trigger /dev/ds 0 1 3 4 7 thread:5 >/tmp/caller2 2>&1; echo "rc=$?" >>/tmp/caller2) &
(ioctl_trigger /dev/tl thread:0 thread:1 thread:3 4 7 >/tmp/caller3 2>&1; echo "rc=$?" >>/tmp/caller3) &
wait
for caller in 1 2 3; do
    echo "caller $caller: $(tr '\n' '|' </tmp/caller$caller)"
done
run rmmod tasklister
run rmmod dirscan
finish concurrent

# On a 64-bit kernel, a 32-bit caller (the i386 ioctl_trigger) gets the same tables.
if [ -x /bin/ioctl_trigger32 ]; then
    begin compat_caller
    run insmod "$KO/tasklister.ko" devname=tl
    run insmod "$KO/dirscan.ko" devname=ds
    echo "shell pid $$"
    run ioctl_trigger32 /dev/tl 0
    run ioctl_trigger32 /dev/ds 0
    run rmmod tasklister
    run rmmod dirscan
    finish compat_caller
fi

# Nothing of the modules is left once every scenario has unloaded them.
begin leftovers
registrations after
finish leftovers
