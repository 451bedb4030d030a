# Floating-point results are part of the effect's behaviour: every target
# compiles without contraction into fused multiply-adds and without any
# flag that relaxes IEEE arithmetic or targets more than baseline x86-64.
# The one exception is render/coverage_run_wide.cpp, compiled for AVX2 (not
# FMA) into the frei0r filter and the OpenFX bundle and called only on
# processors that have it; its operations are the SSE2 path's, lane by lane.
set(_tidalhalo_all_flags "${CMAKE_C_FLAGS} ${CMAKE_CXX_FLAGS}")
foreach(config DEBUG RELEASE RELWITHDEBINFO MINSIZEREL)
  string(APPEND _tidalhalo_all_flags " ${CMAKE_CXX_FLAGS_${config}} ${CMAKE_C_FLAGS_${config}}")
endforeach()
foreach(forbidden -ffast-math -Ofast -funsafe-math-optimizations -ffinite-math-only -march= -mfma -mavx
                  -fassociative-math -freciprocal-math)
  string(FIND "${_tidalhalo_all_flags}" "${forbidden}" _tidalhalo_pos)
  if(NOT _tidalhalo_pos EQUAL -1)
    message(FATAL_ERROR "${forbidden} changes floating-point results; remove it from the compiler flags")
  endif()
endforeach()
add_compile_options(-ffp-contract=off -fno-fast-math)
