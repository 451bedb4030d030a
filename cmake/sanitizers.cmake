# Sanitized builds (clang only): every target, the module included, is
# compiled and linked with the sanitizers named in TIDALHALO_SANITIZE, e.g.
# "address,undefined" or "thread". Any report ends the process with an
# error, so a test that triggers one fails. TIDALHALO_FUZZ adds the coverage
# instrumentation libFuzzer steers by, so that fuzzers learn from the code
# they call and not only from their own source.
set(TIDALHALO_SANITIZE "" CACHE STRING "Sanitizers for every target (address,undefined or thread); empty for none")
option(TIDALHALO_FUZZ "Build the fuzzers with coverage instrumentation everywhere (needs address)" OFF)

set(TIDALHALO_SANITIZED OFF)
if(TIDALHALO_SANITIZE STREQUAL "" AND NOT TIDALHALO_FUZZ)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "TIDALHALO_SANITIZE and TIDALHALO_FUZZ need clang: configure with the sanitize, tsan or fuzz preset")
endif()
string(REPLACE "," ";" _tidalhalo_sanitizers "${TIDALHALO_SANITIZE}")
foreach(sanitizer IN LISTS _tidalhalo_sanitizers)
  if(NOT sanitizer MATCHES "^(address|undefined|thread)$")
    message(FATAL_ERROR "TIDALHALO_SANITIZE: unknown sanitizer '${sanitizer}' (address, undefined or thread)")
  endif()
endforeach()
if("thread" IN_LIST _tidalhalo_sanitizers AND "address" IN_LIST _tidalhalo_sanitizers)
  message(FATAL_ERROR "TIDALHALO_SANITIZE: thread and address cannot be combined")
endif()
if(TIDALHALO_FUZZ AND NOT "address" IN_LIST _tidalhalo_sanitizers)
  message(FATAL_ERROR "TIDALHALO_FUZZ needs TIDALHALO_SANITIZE to include address")
endif()

# float-cast-overflow is part of undefined and stays on: our float-to-integer
# conversions must be written defined. float-divide-by-zero is not: IEEE
# division by zero gives an infinity or NaN, which the float code relies on.
set(_tidalhalo_sanitize_flags -fsanitize=${TIDALHALO_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
if("undefined" IN_LIST _tidalhalo_sanitizers)
  list(APPEND _tidalhalo_sanitize_flags -fsanitize=float-cast-overflow)
endif()
add_compile_options(${_tidalhalo_sanitize_flags})
add_link_options(${_tidalhalo_sanitize_flags})
if(TIDALHALO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

set(TIDALHALO_SANITIZED ON)
