# shellcheck shell=dash
# debug.sh: the debugging kernels' suites. Under such a kernel every module unload and every
# failed load waits for the kobject releases it puts off (1 to 4 s each), so the scenarios are
# split over three boots that run side by side (boot.sh):
#   debug         every scenario of the main suite but those below;
#   debug-paths   the failure paths (failure_paths.sh);
#   debug-cycles  load/unload cycles (cycles.sh), then load/unload cycles with each failure
#                 path, with a pause for the delayed releases.
# Each ends with one kmemleak scan, whose report the host judges. What kmemleak suspects
# before the scenarios (the kernel's own boot) is cleared first.
mount -t debugfs debugfs /sys/kernel/debug
leaks=/sys/kernel/debug/kmemleak
echo scan >$leaks
echo clear >$leaks

# shellcheck disable=SC2154  # set by init
case $suite in
debug)
    # shellcheck disable=SC2034  # read by scenarios.sh
    loads_apart=yes
    # shellcheck source=SCRIPTDIR/scenarios.sh
    . /etc/osf/scenarios.sh
    ;;
debug-paths)
    # shellcheck source=SCRIPTDIR/failure_paths.sh
    . /etc/osf/failure_paths.sh
    ;;
*)
    # shellcheck disable=SC2034  # read by cycles.sh
    load_cycles=10
    # shellcheck source=SCRIPTDIR/cycles.sh
    . /etc/osf/cycles.sh
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
    ;;
esac

# Two scans: an object counts once it is 5 s old and unreferenced in both (a pointer that is
# only in flight during one scan does not make a report).
begin kmemleak
run sh -c "echo scan >$leaks"
run sh -c "echo scan >$leaks"
cat $leaks
finish kmemleak
