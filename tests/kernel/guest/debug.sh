# shellcheck shell=dash
# debug.sh: the debugging kernels' suite (suite "debug"): every scenario of the main suite,
# then load/unload cycles with each failure path, with a pause for the kobject releases such a
# kernel puts off (by 1 to 4 s), then one kmemleak scan, whose report the host judges. What
# kmemleak suspects before the scenarios (the kernel's own boot) is cleared first.
mount -t debugfs debugfs /sys/kernel/debug
leaks=/sys/kernel/debug/kmemleak
echo scan >$leaks
echo clear >$leaks

# shellcheck disable=SC2034  # read by scenarios.sh
load_cycles=10
# shellcheck source=SCRIPTDIR/scenarios.sh
. /etc/osf/scenarios.sh

begin release_cycles
passed=0
for cycle in 1 2; do
    for module in tasklister dirscan; do
        if insmod "$KO/$module.ko" devname=rel && rmmod $module; then
            passed=$((passed + 1))
        else
            echo "cycle $cycle ($module) failed"
        fi
        for step in cdev_add class_create device_create; do
            modload "$KO/test/$module.ko" devname=rel fail_at=$step >/dev/null
        done
    done
done
echo "cycles passed: $passed of 4"
sleep 5
finish release_cycles

# Two scans: an object counts once it is 5 s old and unreferenced in both (a pointer that is
# only in flight during one scan does not make a report).
begin kmemleak
run sh -c "echo scan >$leaks"
run sh -c "echo scan >$leaks"
cat $leaks
finish kmemleak
