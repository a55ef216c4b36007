# Helpers shared by every folder's CMakeLists.txt.

# osf_gtest(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#           [RESOURCE_LOCK <lock>] [TIMEOUT <seconds>])
# A GoogleTest executable linked with the test harness and its main; each case becomes one
# CTest test. Without BUILD_TESTING (a package build) it is declared but never built.
function(osf_gtest name)
  cmake_parse_arguments(T "" "RESOURCE_LOCK;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT BUILD_TESTING)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE osf_harness_main ${T_LIBS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES ${props})
  if(T_LABELS)
    # The labels go on once the cases are discovered: a list value passed through
    # gtest_discover_tests' PROPERTIES comes out split into separate arguments.
    set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${labels_file}
         "if(${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
  endif()
endfunction()

# osf_program_path(<target> <test-target> <macro>): lets a test find a built program as the
# string macro <macro>, e.g. REPLIER_PATH.
function(osf_program_path program test macro)
  target_compile_definitions(${test} PRIVATE ${macro}="$<TARGET_FILE:${program}>")
  add_dependencies(${test} ${program})
endfunction()

# osf_delivered_here(<name> <variable>): sets <variable> to whether this tree builds <name> as
# a deliverable (i386 for all but OSF_X86_64_DELIVERABLES), not as a test vehicle.
function(osf_delivered_here name variable)
  if(name IN_LIST OSF_X86_64_DELIVERABLES)
    set(wanted x86_64)
  else()
    set(wanted i386)
  endif()
  if(OSF_ARCH STREQUAL wanted)
    set(${variable} ON PARENT_SCOPE)
  else()
    set(${variable} OFF PARENT_SCOPE)
  endif()
endfunction()

# osf_install_programs(<targets...>): installs programs into bin/ from the tree that delivers
# them and records them, so that the install test checks each one lands there as an executable
# of that tree's architecture. In the other tree (a test vehicle) it does nothing.
function(osf_install_programs)
  foreach(program ${ARGN})
    osf_delivered_here(${program} delivered)
    if(delivered)
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
      set_property(GLOBAL APPEND PROPERTY OSF_INSTALLED_PROGRAMS ${program})
    endif()
  endforeach()
endfunction()

# osf_install_partners(<targets...>): in a package build, installs the partners that a user
# runs to try the deliverables into libexec/osfacets/ (the osfacets-examples package).
function(osf_install_partners)
  if(OSF_PACKAGE_BUILD)
    install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/osfacets)
  endif()
endfunction()

# osf_object(<name> <object-library> [LOCALIZE <pattern>]): the objects of <object-library>
# joined (ld -r) into the one relocatable object <name>.o in this folder's build directory, the
# very file that the i386 tree installs into lib/osfacets and that osf_link_object links. The
# symbols matching LOCALIZE (a wildcard) are made local, so that a host does not see them.
# Built by the target <name>_object.
function(osf_object name library)
  cmake_parse_arguments(O "" "LOCALIZE" "" ${ARGN})
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.o)
  if(OSF_ARCH STREQUAL "i386")
    set(emulation elf_i386)
  else()
    set(emulation elf_x86_64)
  endif()
  set(localize "")
  if(O_LOCALIZE)
    set(localize --wildcard --localize-symbol=${O_LOCALIZE})
  endif()
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_LINKER} -m ${emulation} -r -o ${object}.tmp $<TARGET_OBJECTS:${library}>
    COMMAND ${CMAKE_OBJCOPY} ${localize} ${object}.tmp ${object}
    COMMAND ${CMAKE_COMMAND} -E remove ${object}.tmp
    DEPENDS ${library} $<TARGET_OBJECTS:${library}>
    COMMAND_EXPAND_LISTS VERBATIM
    COMMENT "Linking the relocatable object ${name}.o")
  add_custom_target(${name}_object ALL DEPENDS ${object})
  set_property(GLOBAL PROPERTY OSF_OBJECT_${name} ${object})
  if(OSF_ARCH STREQUAL "i386")
    install(FILES ${object} DESTINATION ${CMAKE_INSTALL_LIBDIR}/osfacets)
  endif()
endfunction()

# osf_link_object(<target> <name>): links <name>.o (osf_object) into <target> as an outside
# program would, the object itself rather than its sources, building it first.
function(osf_link_object target name)
  get_property(object GLOBAL PROPERTY OSF_OBJECT_${name})
  target_link_libraries(${target} PRIVATE ${object})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${object})
  add_dependencies(${target} ${name}_object)
endfunction()
