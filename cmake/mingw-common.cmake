# The part both Windows toolchain files share (cmake/mingw-i686.cmake and
# cmake/mingw-x86_64.cmake set KORVA_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and
# KORVA_WINE_NAMES, then include this): Debian's mingw-w64 cross compilers
# with the posix thread model, the C and C++ runtimes linked statically (a
# custom-action DLL is extracted alone into a temporary folder, so nothing
# but what Windows ships may be needed beside it), and wine as the emulator
# through which ctest runs every test, in a prefix of the build's own
# (<build>/wineprefix), quietly (cmake/run_under_wine.sh).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KORVA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into every program and DLL.
set(KORVA_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${KORVA_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${KORVA_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${KORVA_STATIC_RUNTIME}")

# The wine loader of this architecture: the first of KORVA_WINE_NAMES on the
# PATH, else in Debian's /usr/lib/wine. Found once per build tree.
find_program(KORVA_WINE NAMES ${KORVA_WINE_NAMES} PATHS /usr/lib/wine)
if(KORVA_WINE)
  # run_under_wine.sh: the build's prefix, quiet, and a new start when wine
  # itself could not start the program.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      sh ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh ${CMAKE_BINARY_DIR}/wineprefix ${KORVA_WINE})
endif()
