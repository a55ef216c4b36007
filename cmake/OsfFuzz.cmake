# Coverage-guided fuzzing of the code that reads outside bytes, with libFuzzer.

set(OSF_FUZZ_SECONDS 15 CACHE STRING "How long each fuzz target's test runs it, in seconds")
find_program(OSF_CLANGXX NAMES clang++ clang++-14)

# Each input's time limit, and how the run is watched. libFuzzer checks the limit on a SIGALRM
# every limit/2 + 1 seconds, and under qemu-user (7.2) a signal that interrupts x87 code
# garbles the x87 registers: the fuzzer's own choice of the next input (x87 code in an i386
# build) then now and then divides by zero. So under emulation the limit is made so long that
# the first alarm comes after the run has ended (a stuck input still ends the run, within the
# test's own time-out). There, too, no thread watches the resident memory: with that thread,
# a run that met a stuck input never exits.
set(OSF_FUZZ_INPUT_SECONDS 5)
set(OSF_FUZZ_WATCH "")
if(OSF_SANITIZE_ADDRESS AND OSF_ARCH STREQUAL "i386")
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/i386-exec.sh probe
                  OUTPUT_VARIABLE i386_exec OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(i386_exec STREQUAL "emulated")
    math(EXPR OSF_FUZZ_INPUT_SECONDS "2 * ${OSF_FUZZ_SECONDS} + 10")
    set(OSF_FUZZ_WATCH -rss_limit_mb=0)
  endif()
endif()

# osf_fuzz(<name> SOURCES <files...> [INCLUDES <dirs...>] [DEFINES <macros...>] [DICT <file>]
#          [SEEDS <dir>] [LABELS <labels...>])
# The fuzz target <name>, built from <files...> (the target <name>.cpp and the sources it
# fuzzes), and the test <name>, labelled fuzz and <labels>, that runs it for OSF_FUZZ_SECONDS,
# each input for at most OSF_FUZZ_INPUT_SECONDS. Only in the i386 sanitizer tree, where the
# build is clang's (libFuzzer's compiler; the tree's own is gcc) under ASan and UBSan, one
# object per source with its header dependencies. The run starts from the inputs in the
# source folder <dir> and the corpus that earlier runs grew in the build tree (<name>_corpus;
# under emulation each run starts from the seeds alone, see below), and adds what it finds
# there; an input that fails is kept as <name>-crash-<hash> (or -timeout-, -oom-) beside it.
# Paths are relative to the calling folder.
function(osf_fuzz name)
  cmake_parse_arguments(F "" "DICT;SEEDS" "SOURCES;INCLUDES;DEFINES;LABELS" ${ARGN})
  list(TRANSFORM F_INCLUDES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set(includes ${CMAKE_CURRENT_SOURCE_DIR} ${F_INCLUDES})
  if(NOT (OSF_SANITIZE_ADDRESS AND OSF_ARCH STREQUAL "i386"))
    # Elsewhere <name>.cpp is an object library that is never built, so that the linters find
    # it in this tree's compile database with its include folders and macros.
    add_library(${name}_unit OBJECT EXCLUDE_FROM_ALL ${name}.cpp)
    target_include_directories(${name}_unit PRIVATE ${includes})
    target_compile_definitions(${name}_unit PRIVATE ${F_DEFINES})
    return()
  endif()
  if(NOT OSF_CLANGXX)
    add_test(NAME ${name}
             COMMAND sh -c "echo '${name}: clang++ not found; make deps installs it'; exit 1")
  else()
    set(flags -m32 -std=c++20 -O1 -g -Wall -Wextra -Werror
              -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    list(TRANSFORM includes PREPEND -I)
    list(TRANSFORM F_DEFINES PREPEND -D)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}.dir)
    file(MAKE_DIRECTORY ${dir} ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    set(objects "")
    foreach(source ${F_SOURCES})
      get_filename_component(base ${source} NAME_WE)
      set(object ${dir}/${base}.o)
      add_custom_command(
        OUTPUT ${object}
        COMMAND ${OSF_CLANGXX} ${flags} ${includes} ${F_DEFINES} -MD -MF ${object}.d
                -c ${CMAKE_CURRENT_SOURCE_DIR}/${source} -o ${object}
        DEPENDS ${source} DEPFILE ${object}.d
        COMMENT "Compiling ${source} for the fuzz target ${name} with clang" VERBATIM)
      list(APPEND objects ${object})
    endforeach()
    set(fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(
      OUTPUT ${fuzzer}
      COMMAND ${OSF_CLANGXX} ${flags} ${objects} -o ${fuzzer}
      DEPENDS ${objects}
      COMMENT "Linking the fuzz target ${name}" VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${fuzzer})
    set(options -max_total_time=${OSF_FUZZ_SECONDS} -timeout=${OSF_FUZZ_INPUT_SECONDS}
                ${OSF_FUZZ_WATCH} -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}-)
    if(F_DICT)
      list(APPEND options -dict=${CMAKE_CURRENT_SOURCE_DIR}/${F_DICT})
    endif()
    if(F_SEEDS)
      # Named one by one, not as a folder: an i386 program under qemu-user cannot list an ext4
      # folder (readdir fails with EOVERFLOW on the 64-bit offsets the host kernel hands out).
      file(GLOB seeds CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${F_SEEDS}/*)
      list(JOIN seeds "," seeds)
      list(APPEND options -seed_inputs=${seeds})
    endif()
    add_test(NAME ${name} COMMAND ${fuzzer} ${options} ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  endif()
  math(EXPR timeout "${OSF_FUZZ_SECONDS} + ${OSF_FUZZ_INPUT_SECONDS} + 75")
  set(labels fuzz ${F_LABELS})
  # No quarantine of freed blocks (it catches a use after free, and the fuzzed functions free
  # nothing): it grows the heap by hundreds of MB a run, and under qemu-user, which hands an
  # i386 program addresses up to 4 GiB where ASan expects 3 GiB, the first block above that
  # stops the run with a CHECK failure in ASan's allocator.
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${timeout}
                       ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::quarantine_size_mb=0")
endfunction()
