# libFuzzer targets, built only when TIDALHALO_FUZZ is on (presets sanitize
# and fuzz; see cmake/sanitizers.cmake). Each fuzzer also becomes a test that
# runs every input of its seed corpus once, so the corpus stays a regression
# suite of inputs that once crashed or reached new code.
#
#   tidalhalo_add_fuzzer(pe_reader_fuzz
#     SOURCES pe_reader_fuzz.cpp
#     LIBS tidalhalo_pe
#     CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/pe_reader_fuzz)
#
# fuzzers.txt in the build directory lists every fuzzer, its executable and
# its corpus, one per line separated by tabs; scripts/fuzz.sh reads it.
function(tidalhalo_add_fuzzer name)
  if(NOT TIDALHALO_FUZZ)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 FUZZ "" "CORPUS" "SOURCES;LIBS")
  if(NOT FUZZ_SOURCES OR NOT FUZZ_CORPUS)
    message(FATAL_ERROR "tidalhalo_add_fuzzer(${name}): SOURCES and CORPUS are required")
  endif()
  if(NOT IS_ABSOLUTE "${FUZZ_CORPUS}")
    set(FUZZ_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/${FUZZ_CORPUS})
  endif()
  if(NOT IS_DIRECTORY "${FUZZ_CORPUS}")
    message(FATAL_ERROR "tidalhalo_add_fuzzer(${name}): no corpus directory ${FUZZ_CORPUS}")
  endif()

  add_executable(${name} ${FUZZ_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${FUZZ_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  tidalhalo_warnings(${name})

  # -runs=0 executes the corpus once and stops before any mutation, so the
  # corpus directory is read and never written.
  add_test(NAME fuzz_corpus.${name} COMMAND ${name} -runs=0 ${FUZZ_CORPUS})
  set_tests_properties(fuzz_corpus.${name} PROPERTIES LABELS fuzz)

  set_property(GLOBAL APPEND PROPERTY TIDALHALO_FUZZERS "${name}\t$<TARGET_FILE:${name}>\t${FUZZ_CORPUS}")
endfunction()

function(tidalhalo_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY TIDALHALO_FUZZERS)
  list(JOIN fuzzers "\n" lines)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${lines}\n")
endfunction()
if(TIDALHALO_FUZZ)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tidalhalo_write_fuzzer_list)
endif()
