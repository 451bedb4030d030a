# The same commit builds to the same bytes wherever the tree lies, so that a
# user can rebuild a download and compare it with what they were given: no
# source or build folder in what the compiler writes, and no link time in the
# Windows images (the linker stamps one into every PE header unless told not to).
# The build folder is mapped after the source folder because it lies inside it
# with the presets, and the last matching map wins. Builds with debug
# information keep the real folders, for the debugger to find the sources.
set(_tidalhalo_shipped_code "$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CONFIG:Release,MinSizeRel>>")
add_compile_options(
  "$<${_tidalhalo_shipped_code}:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
  "$<${_tidalhalo_shipped_code}:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
if(WIN32)
  add_link_options(LINKER:--no-insert-timestamp)
endif()

# Every linked file leaves a map of what went into it: the notices test reads
# which outside archives and objects each shipped file took in.
set(TIDALHALO_LINK_MAPS ${CMAKE_BINARY_DIR}/link-maps)
file(MAKE_DIRECTORY ${TIDALHALO_LINK_MAPS})
add_link_options("LINKER:-Map=${TIDALHALO_LINK_MAPS}/$<TARGET_PROPERTY:NAME>.map")
