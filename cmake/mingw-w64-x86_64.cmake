# Cross build for 64-bit Windows with Debian's MinGW-w64.
#   cmake --preset windows
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KARTOVO_MINGW_TRIPLET x86_64-w64-mingw32)

# The -posix variants: the default win32-thread compilers lack std::mutex,
# which GoogleTest needs.
set(CMAKE_C_COMPILER ${KARTOVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KARTOVO_MINGW_TRIPLET}-g++-posix)

set(CMAKE_RC_COMPILER ${KARTOVO_MINGW_TRIPLET}-windres)

# Our .rc files are UTF-8. windres otherwise starts in code page 1252 and
# garbles Japanese strings in any .rc (or header it includes) that lacks
# #pragma code_page(65001) before them.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# Headers and libraries come from the MinGW sysroot only, so nothing from
# the Linux host (iconv, a host GoogleTest build) leaks into the .exe.
# Programs (python3, the emulator script) still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KARTOVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
