# Windows-only build settings. Included from the top-level CMakeLists.txt
# before any add_executable, because CMAKE_CROSSCOMPILING_EMULATOR is read
# when a target is created, not when a test runs.

# Every test .exe (add_test with the target name, gtest_discover_tests) runs
# under Wine through this wrapper, in a prefix of its own inside the build
# folder so builds never share or clobber each other's Wine state.
# KARTOVO_WINEPREFIX in the environment still wins over the default.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh"
      "--default-prefix=${CMAKE_BINARY_DIR}/wineprefix")
endif()

# Keeps one Wine session alive across a whole ctest run; see
# scripts/test-windows.sh. It lives at a fixed place so the script finds it.
add_executable(wine-keepalive "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-keepalive.c")
target_compile_options(wine-keepalive PRIVATE -Wall -Wextra)
target_link_options(wine-keepalive PRIVATE -municode -static)
set_target_properties(wine-keepalive PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tools")

# Prints how Windows converts code page 932, for tools/cp932_tables.py, which
# regenerates text/Cp932Tables.h and tests/data/cp932.txt from it. Built here
# only so that it keeps compiling cleanly; the script builds its own copy.
add_executable(cp932-sweep "${CMAKE_CURRENT_LIST_DIR}/../tools/cp932-sweep.c")
target_compile_options(cp932-sweep PRIVATE -Wall -Wextra)
target_link_options(cp932-sweep PRIVATE -static)
set_target_properties(cp932-sweep PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tools")
