# The module's version, read from params/identity.h, where the module's own
# registration and about text take it from: the project, the tool and the
# release archives all carry this one number. Run as a script
# (cmake -P cmake/version.cmake) it prints the version, for scripts/release.sh.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../params/identity.h _tidalhalo_version_lines
     REGEX "^#define TIDALHALO_(MAJOR|MINOR)_VERSION [0-9]+$")
foreach(line IN LISTS _tidalhalo_version_lines)
  if(line MATCHES "^#define TIDALHALO_(MAJOR|MINOR)_VERSION ([0-9]+)$")
    set(_tidalhalo_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  endif()
endforeach()
if(NOT DEFINED _tidalhalo_MAJOR OR NOT DEFINED _tidalhalo_MINOR)
  message(FATAL_ERROR "params/identity.h defines no TIDALHALO_MAJOR_VERSION and TIDALHALO_MINOR_VERSION")
endif()
set(TIDALHALO_VERSION_STRING ${_tidalhalo_MAJOR}.${_tidalhalo_MINOR})

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${TIDALHALO_VERSION_STRING})
endif()
