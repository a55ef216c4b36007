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
    case $FLAVOUR in
        # A PAE kernel with page-table isolation (on where the processor is open to Meltdown)
        # gives each process its own copy of the kernel's part of the page directory, so
        # dirscan would show the kernel's entries differing between processes. Without it the
        # kernel's part is shared by all, which is what the test bed compares.
        686-pae) append+=" nopti" ;;
        # A processor with LA57, so that this kernel (built, as amd64's, for five levels) uses
        # five-level paging and dirscan meets that layout too; amd64 keeps four levels.
        amd64-6.12) cpu=(-cpu "qemu64,+la57") ;;
    esac
    # shellcheck disable=SC2034  # for the scripts that source this file
    qemu=("$system" "${cpu[@]}" -m 256 -nographic -no-reboot -nic none -kernel "$VMLINUZ")
}
