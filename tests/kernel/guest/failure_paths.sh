# shellcheck shell=dash
# failure_paths.sh: the frame's failure paths, a scenario each (sourced by scenarios.sh, or by
# debug.sh in a boot of their own; lib.sh's helpers).

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
