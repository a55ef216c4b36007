# The debugging kernels (debug/build.sh: Debian's linux-source-6.1 with KASAN on x86-64,
# kmemleak, lockdep with RCU checks, sleep-in-atomic, timer-object and delayed kobject-release
# checks) and their test bed: the modules built against each (release and test builds), an
# initramfs as the Debian kernels', one boot of the suite "debug" (guest/debug.sh: every
# scenario, release cycles, a kmemleak scan), then the kernel_test cases over its log. Included
# by CMakeLists.txt (its guest programs and scripts). Built only on request, by the target
# debug_kernel_bed (make check-sanitize), never by default; the tests carry the label
# `debugkernel`, which `make check` leaves out.
set(OSF_DEBUG_KERNELS debug-686 debug-amd64)
file(GLOB frame_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/modules/*.[ch]
     ${CMAKE_SOURCE_DIR}/modules/Makefile)
set(debug_fragments ${CMAKE_CURRENT_SOURCE_DIR}/debug/debug.config)
set(debug_beds "")
foreach(kernel ${OSF_DEBUG_KERNELS})
  string(REPLACE "debug-" "" arch ${kernel})
  set(env ${OSF_KERNEL_DIR}/${kernel}/kernel.env)
  add_custom_command(
    OUTPUT ${env}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/debug/build.sh ${OSF_KERNEL_DIR} ${arch}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debug/build.sh ${debug_fragments}
            ${CMAKE_CURRENT_SOURCE_DIR}/debug/${arch}.config kernel_packages
    COMMENT "Building the debugging kernel ${kernel} (minutes, once)"
    USES_TERMINAL)

  set(modules ${CMAKE_BINARY_DIR}/modules/${kernel})
  set(kos "")
  foreach(module tasklister dirscan)
    file(GLOB module_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/modules/${module}/*)
    foreach(out ${modules} ${modules}/test)
      set(test_flag "")
      if(out MATCHES "/test$")
        set(test_flag TEST=1)
      endif()
      add_custom_command(
        OUTPUT ${out}/${module}.ko
        COMMAND sh -c ". '${env}' && MAKEFLAGS= make -C '${CMAKE_SOURCE_DIR}/modules' KDIR=\"$KDIR\" OUT='${out}' W=1 ${test_flag} ${module}"
        DEPENDS ${env} ${frame_sources} ${module_sources}
        COMMENT "Building ${module}.ko for ${kernel} with kbuild"
        VERBATIM)
      list(APPEND kos ${out}/${module}.ko)
    endforeach()
  endforeach()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${kernel})
  set(initramfs ${dir}/initramfs.cpio.gz)
  set(items ${modules}/tasklister.ko ${modules}/dirscan.ko
            lib/modules/test/tasklister.ko=${modules}/test/tasklister.ko
            lib/modules/test/dirscan.ko=${modules}/test/dirscan.ko)
  if(kernel STREQUAL "debug-686")
    list(APPEND items ${programs32})
    set(program_deps ioctl_trigger modload ioctl_cost threads)
  else()
    list(APPEND items ${programs64} bin/ioctl_trigger32=$<TARGET_FILE:ioctl_trigger>)
    set(program_deps ${programs64} guest_programs_x86_64 ioctl_trigger)
  endif()
  add_custom_command(
    OUTPUT ${initramfs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/make-initramfs.sh ${initramfs} ${env}
            ${CMAKE_CURRENT_SOURCE_DIR}/guest ${items}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make-initramfs.sh ${guest_scripts} ${env} ${kos}
            ${program_deps}
    COMMENT "Packing the ${kernel} test guest's initramfs"
    VERBATIM)
  add_custom_target(kernel_initramfs_${kernel} DEPENDS ${initramfs})
  list(APPEND debug_beds kernel_initramfs_${kernel})

  # The boot is slower than a Debian kernel's (KASAN, lockdep and kmemleak under emulation,
  # and every unload waits 1 to 4 s for a delayed release): its own time limit. Mostly
  # waiting, so the two boots run side by side, without the Debian kernels' qemu lock.
  set(filter "*")
  if(kernel STREQUAL "debug-686")
    set(filter "-*.ThirtyTwoBitCallerOnA64BitKernel")
  endif()
  add_test(NAME kernel_boot_${kernel}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/boot.sh ${env} ${initramfs} debug
                   ${dir}/boot-main.log 900)
  set_tests_properties(kernel_boot_${kernel} PROPERTIES FIXTURES_SETUP kernel_main_boot_${kernel}
                       LABELS debugkernel TIMEOUT 930)
  gtest_discover_tests(kernel_test TEST_PREFIX "${kernel}:" TEST_FILTER "${filter}"
                       DISCOVERY_TIMEOUT 30
                       PROPERTIES FIXTURES_REQUIRED kernel_main_boot_${kernel} LABELS debugkernel
                                  TIMEOUT 60 ENVIRONMENT OSF_KERNEL=${kernel})
endforeach()
add_custom_target(debug_kernel_bed DEPENDS ${debug_beds} kernel_test)
