#!/bin/bash
# vm_test.sh KERNEL_ENV INITRAMFS: `make vm`'s boot (vm.sh) driven as a person would drive it.
# Once the guest's shell prompts: load tasklister, start threads, issue an ioctl and count the
# threaded process's lines in the kernel log (one), unload; then press Ctrl-D, the one key
# stroke that leaves, after which QEMU must end by itself.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "$PWD/vm-XXXXXX")  # the build folder CTest runs it in
vm=""
trap '[ -n "$vm" ] && kill "$vm" 2>/dev/null; rm -rf "$work"' EXIT
mkfifo "$work/keys"
bash "$here/vm.sh" "$1" "$2" <"$work/keys" >"$work/console" 2>&1 &
vm=$!
exec 3>"$work/keys"

fail() {
    echo "FAIL: $1; the console:" >&2
    tr -d '\r' <"$work/console" | tail -n 40 >&2
    exit 1
}
# until_shown PATTERN SECONDS: waits for a console line that matches PATTERN (grep's).
until_shown() {
    local tenths=$(($2 * 10))
    while [ $tenths -gt 0 ]; do
        tr -d '\r' <"$work/console" | grep -q -e "$1" && return 0
        kill -0 "$vm" 2>/dev/null || return 1
        sleep 0.1
        tenths=$((tenths - 1))
    done
    return 1
}
press() { printf '%s\n' "$1" >&3; }

until_shown '^vm# ' 90 || fail "no shell prompt"
press 'insmod /lib/modules/tasklister.ko devname=tasks && echo loaded'
until_shown '^loaded$' 30 || fail "tasklister did not load"
press 'threads 3 60 >/tmp/threads & until grep -q "^threads: " /tmp/threads; do sleep 0.1; done; cat /tmp/threads'
until_shown '^threads: pid [0-9]*, thread ids [0-9]* [0-9]* [0-9]*$' 30 || fail "threads did not start"
# shellcheck disable=SC2016  # the guest's shell expands it
press 'ioctl_trigger /dev/tasks 0 && echo "threads lines: $(dmesg | grep -c " threads $")"'
until_shown '^threads lines: 1$' 30 || fail "the table does not list the threaded process once"
press 'rmmod tasklister && echo unloaded'
until_shown '^unloaded$' 30 || fail "tasklister did not unload"
printf '\004' >&3
for _ in $(seq 300); do
    kill -0 "$vm" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$vm" 2>/dev/null && fail "QEMU still runs 30 s after Ctrl-D"
wait "$vm"
status=$?
vm=""
[ $status -eq 0 ] || fail "QEMU ended with status $status"
grep -q '^@@ osf-guest finished' <(tr -d '\r' <"$work/console") || fail "the guest did not power off in order"
echo "ok: make vm's guest: a shell, the modules at hand, and Ctrl-D leaves"
