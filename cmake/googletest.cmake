# GoogleTest: the installed build natively. A cross build has no installed
# Windows build, so it compiles Debian's sources along with the tests.
if(CMAKE_CROSSCOMPILING)
  set(TIDALHALO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TIDALHALO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The sources name their targets GTest::gtest and so on; the installed
  # package also knows the older names.
  add_library(GTest::GTest ALIAS gtest)
  add_library(GTest::Main ALIAS gtest_main)
  # Listing the tests means running them under the emulator; do that when
  # the tests run rather than on every build.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
else()
  find_package(GTest REQUIRED)
endif()
