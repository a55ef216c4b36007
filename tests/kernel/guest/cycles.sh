# shellcheck shell=dash
# cycles.sh: load/unload cycles (sourced by scenarios.sh, or by debug.sh in a boot of their own;
# lib.sh's helpers).

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
