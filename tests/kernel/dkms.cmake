# The modules that DKMS built from the osfacets-dkms package in a fresh amd64 root of the
# newest release (make check-deb; debian/tests/dkms), booted with that root's own kernel
# through the same test bed as the Debian kernels (osf_guest_bed), with every scenario: the
# packages' test leaves the kernel's image, the modules and their test builds (made there from
# the same installed sources) under build/deb/autopkgtest/RELEASE-amd64/artifacts/modules/, and
# dkms-bed.sh makes this bed's kernel.env and module folder of them (with the busybox of the
# list's first amd64 kernel). Built only on request (target
# dkms_kernel_bed, make check-deb); the tests carry the label dkmskernel, which make check
# leaves out. Included by CMakeLists.txt.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/releases.list releases REGEX "^[a-z]")
list(GET releases -1 newest)
set(kernel dkms-${newest})
set(results ${CMAKE_SOURCE_DIR}/build/deb/autopkgtest/${newest}-amd64)
# (A foreach's own variable is unset after the loop: the first match is kept in another.)
set(busybox_kernel "")
foreach(candidate ${OSF_KERNELS})
  if(NOT busybox_kernel AND OSF_KERNEL_ARCH_${candidate} STREQUAL "amd64")
    set(busybox_kernel ${candidate})
  endif()
endforeach()
set(env ${OSF_KERNEL_DIR}/${kernel}/kernel.env)
set(modules ${CMAKE_BINARY_DIR}/modules/${kernel})
add_custom_command(
  OUTPUT ${env} ${modules}/tasklister.ko ${modules}/dirscan.ko ${modules}/test/tasklister.ko
         ${modules}/test/dirscan.ko
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/dkms-bed.sh ${results}/artifacts/modules
          ${OSF_KERNEL_DIR}/${busybox_kernel}/kernel.env ${OSF_KERNEL_DIR}/${kernel} ${modules}
  # autopkgtest writes its summary last: a newer run brings newer modules.
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dkms-bed.sh ${results}/summary kernel_packages
  COMMENT "Taking the DKMS-built modules of the ${newest} root")
# A Debian amd64 kernel, on QEMU's default processor: four-level paging.
osf_guest_bed(${kernel} amd64 four-level ${env} main 240 dkmskernel ${env})
add_custom_target(dkms_kernel_bed DEPENDS kernel_initramfs_${kernel} kernel_test)
