# Manual pages. Each page's scdoc source sits beside its deliverable (chat/replier.1.scd, ...);
# the i386 tree turns every page into roff under build/i386/man/man<section>/ as part of the
# default build and installs it under share/man/man<section>/. Every page is checked to render
# without a warning (groff, mandoc), and to name only what its deliverable really has: the
# texts it quotes as the program's own are looked up in the built artifact, in whichever tree
# builds that artifact (snoozefork's in the x86-64 tree). A package build makes each page in the
# tree whose packages hold it: a deliverable's in the tree that delivers it, the modules' (section
# 4) with their DKMS sources in the x86-64 tree.

find_program(OSF_SCDOC scdoc)

# osf_man(<page> <artifact> [<page> <artifact>...])
#   <page>      the page's file name with its section (replier.1), built from <page>.scd in
#               the calling folder; a path below that folder is allowed (tasklister/tasklister.4).
#   <artifact>  what the page documents: a target (a program or shared library), checked in
#               the tree that delivers it, or a file name with a dot (ringmenu.o, tasklister.ko)
#               in the calling folder's build directory, checked in the i386 tree.
# Sanitizer trees build and check no pages: the release tree's artifacts are the documented ones.
function(osf_man)
  if(OSF_SANITIZE_ADDRESS OR OSF_SANITIZE_THREAD)
    return()
  endif()
  set(rest ${ARGN})
  while(rest)
    list(POP_FRONT rest page artifact)
    set(written ${CMAKE_CURRENT_SOURCE_DIR}/${page}.scd)
    get_filename_component(name ${page} NAME)
    string(REGEX REPLACE "^.*\\.([1-9])$" "\\1" section ${name})
    # A page that takes in shared text ("@include FILE PART ...") is read with it in place.
    set(source ${written})
    file(STRINGS ${written} include_lines REGEX "^@include ")
    if(include_lines)
      get_filename_component(folder ${written} DIRECTORY)
      set(included "")
      foreach(line ${include_lines})
        string(REGEX REPLACE "^@include ([^ ]+).*" "\\1" file "${line}")
        list(APPEND included ${folder}/${file})
      endforeach()
      set(source ${CMAKE_BINARY_DIR}/man/scd/${name}.scd)
      add_custom_command(OUTPUT ${source}
                         COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/scd
                         COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/scdoc-include.sh ${written} ${source}
                         DEPENDS ${written} ${included} ${CMAKE_SOURCE_DIR}/cmake/scdoc-include.sh
                         VERBATIM)
      add_custom_target(man_scd_${name} ALL DEPENDS ${source})
    endif()

    # The tree that makes the page (above).
    if(NOT OSF_PACKAGE_BUILD)
      string(COMPARE EQUAL "${OSF_ARCH}" i386 make_page)
    elseif(section STREQUAL "4")
      string(COMPARE EQUAL "${OSF_ARCH}" x86_64 make_page)
    else()
      osf_delivered_here(${artifact} make_page)
    endif()
    if(make_page)
      if(NOT OSF_SCDOC)
        message(FATAL_ERROR "scdoc not found: make deps installs it (cmake/deps/man.list)")
      endif()
      set(roff ${CMAKE_BINARY_DIR}/man/man${section}/${name})
      add_custom_command(OUTPUT ${roff}
                         COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/man${section}
                         COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/scdoc-man.sh ${source} ${roff}
                         DEPENDS ${source} ${CMAKE_SOURCE_DIR}/cmake/scdoc-man.sh
                         COMMENT "Manual page ${name}" VERBATIM)
      add_custom_target(man_${name} ALL DEPENDS ${roff})
      install(FILES ${roff} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
      set_property(GLOBAL APPEND PROPERTY OSF_INSTALLED_PAGES ${CMAKE_INSTALL_MANDIR}/man${section}/${name})
      add_test(NAME man_render_${name} COMMAND sh ${CMAKE_SOURCE_DIR}/tests/man/check_render.sh ${roff})
      set_tests_properties(man_render_${name} PROPERTIES LABELS "man;nosanitize" TIMEOUT 30)
    endif()

    set(artifact_file "")
    osf_delivered_here(${artifact} delivered)
    if(NOT delivered)
      # Checked in the tree that delivers it, not in a test vehicle's build.
    elseif(artifact MATCHES "\\.")
      set(artifact_file ${CMAKE_CURRENT_BINARY_DIR}/${artifact})
    elseif(TARGET ${artifact})
      set(artifact_file $<TARGET_FILE:${artifact}>)
    endif()
    if(artifact_file)
      add_test(NAME man_truth_${name}
               COMMAND perl ${CMAKE_SOURCE_DIR}/tests/man/check_truth.pl ${source} ${artifact_file})
      set_tests_properties(man_truth_${name} PROPERTIES LABELS "man;nosanitize" TIMEOUT 30)
    endif()
  endwhile()
endfunction()
