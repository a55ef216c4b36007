# The debugging kernels (debug/build.sh: Debian's kernel source with KASAN on x86-64,
# kmemleak, lockdep with RCU checks, sleep-in-atomic, timer-object and delayed kobject-release
# checks) and their test beds, as the Debian kernels' (osf_kbuild, osf_guest_bed), with the
# suites of guest/debug.sh: every scenario, release cycles and a kmemleak scan, split over three
# boots side by side. Included by CMakeLists.txt. Built only on request, by the target
# debug_kernel_bed (make check-sanitize), never by default; the tests carry the label
# `debugkernel`, which `make check` leaves out.
set(debug_beds "")
# Each: its name, the Debian architecture of its build, its paging layout.
foreach(kernel_facts "686 i386 two-level" "amd64 amd64 four-level")
  separate_arguments(kernel_facts)
  list(GET kernel_facts 0 arch)
  list(GET kernel_facts 1 debian_arch)
  list(GET kernel_facts 2 paging)
  set(kernel debug-${arch})
  set(env ${OSF_KERNEL_DIR}/${kernel}/kernel.env)
  add_custom_command(
    OUTPUT ${env}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/debug/build.sh ${OSF_KERNEL_DIR} ${arch}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debug/build.sh ${CMAKE_CURRENT_SOURCE_DIR}/debug/debug.config
            ${CMAKE_CURRENT_SOURCE_DIR}/debug/${arch}.config kernel_packages
    COMMENT "Building the debugging kernel ${kernel} (minutes, once)"
    USES_TERMINAL)
  set(kos "")
  foreach(module tasklister dirscan)
    foreach(variant release test)
      osf_kbuild(${kernel} ${module} ${variant} ${env})
      list(APPEND kos ${osf_ko})
    endforeach()
  endforeach()
  # Slower than a Debian kernel's boot (KASAN, lockdep and kmemleak under emulation, and every
  # unload waits 1 to 4 s for a delayed release): a time limit of its own. Mostly waiting, so
  # both kernels' boots run side by side, without the Debian kernels' qemu lock.
  osf_guest_bed(${kernel} ${debian_arch} ${paging} ${env} debug,debug-paths,debug-cycles 900
                debugkernel ${kos})
  list(APPEND debug_beds kernel_initramfs_${kernel})
endforeach()
add_custom_target(debug_kernel_bed DEPENDS ${debug_beds} kernel_test)
