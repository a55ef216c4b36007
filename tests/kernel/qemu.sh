# shellcheck shell=bash
# qemu.sh: sourced by boot.sh and vm.sh. qemu_for KERNEL_ENV sets `qemu`, the QEMU command
# (an array) that boots that test kernel (see fetch.sh) without KVM and without a network
# card, and `append`, the start of its kernel command line. The machine follows the kernel:
# qemu-system-i386 for the 32-bit kernels, qemu-system-x86_64 for the 64-bit ones.
qemu_for() {
    # shellcheck source=/dev/null
    . "$1"
    local system=qemu-system-i386 cpu=()
    # no_timer_check: an emulated machine on a busy host can be slow enough through the kernel's
    # check of the IO-APIC timer that the check fails and the boot panics ("IO-APIC + timer
    # doesn't work"); QEMU's timer is known to work.
    append="console=ttyS0 no_timer_check"
    case $ARCH in
        x86_64) system="qemu-system-x86_64" ;;
    esac
    # What kernels.list adds to this kernel's boot. For example, a PAE kernel boots with nopti:
    # with page-table isolation each process has its own copy of the kernel's part of the page
    # directory, and the test bed compares that part across processes; a processor with LA57
    # makes a kernel built for five levels use them, so that dirscan meets that layout too.
    local word
    while read -r word; do
        case $word in
            cpu=*) cpu=(-cpu "${word#cpu=}") ;;
            append=*) append+=" ${word#append=}" ;;
        esac
    done < <(awk -v k="$FLAVOUR" '$1 == k { for (i = 6; i <= NF; i++) print $i }' \
        "$(dirname "${BASH_SOURCE[0]}")/kernels.list")
    # shellcheck disable=SC2034  # for the scripts that source this file
    qemu=("$system" "${cpu[@]}" -m 256 -nographic -no-reboot -nic none -kernel "$VMLINUZ")
}
