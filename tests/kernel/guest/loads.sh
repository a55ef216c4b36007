# shellcheck shell=dash
# loads.sh: the frame's failure paths, a scenario each, then load/unload cycles (sourced by
# scenarios.sh, or by debug.sh in a boot of their own; lib.sh's helpers).

# Every registration step made to fail in turn by the test build's hook, in each module: the
# load fails with its log line, and whatever was set up before is undone; the module then
# loads normally.
for module in tasklister dirscan; do
    for step in alloc_chrdev_region cdev_alloc cdev_add class_create device_create; do
        begin "fail_${module}_$step"
        registrations before
        run modload "$KO/test/$module.ko" devname=fip fail_at=$step
        registrations after
        devices fip
        class fip
        node /dev/fip
        run insmod "$KO/$module.ko" devname=fip
        node /dev/fip
        run rmmod $module
        finish "fail_${module}_$step"
    done
done

# 50 loads and unloads, the two modules in turn, each checked on the way (debug.sh asks for
# fewer: under a debugging kernel each unload waits for a delayed kobject release).
load_cycles=${load_cycles:-50}
begin cycles
cycle=1
passed=0
while [ $cycle -le "$load_cycles" ]; do
    module=tasklister
    [ $((cycle % 2)) -eq 0 ] && module=dirscan
    if insmod "$KO/$module.ko" devname=cyc && [ -c /dev/cyc ] && rmmod $module && [ ! -e /dev/cyc ]; then
        passed=$((passed + 1))
    else
        echo "cycle $cycle ($module) failed"
    fi
    cycle=$((cycle + 1))
done
echo "cycles passed: $passed of $load_cycles"
devices cyc
class cyc
node /dev/cyc
finish cycles
