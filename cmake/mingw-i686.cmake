# Toolchain of the 32-bit Windows build (build-win32/): Debian's mingw-w64
# cross compilers for i686 with the posix thread model, the C and C++
# runtimes linked statically (a custom-action DLL is extracted alone into a
# temporary folder, so nothing but what Windows ships may be needed beside
# it), and wine as the emulator through which ctest runs every test.
#
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# Wine runs in a prefix of the build's own (build-win32/wineprefix), quietly
# (cmake/run_under_wine.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KORVA_MINGW_TRIPLE i686-w64-mingw32)
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

find_program(KORVA_WINE wine)
if(KORVA_WINE)
  # run_under_wine.sh: the build's prefix, quiet, and a new start when wine
  # itself could not start the program.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      sh ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh ${CMAKE_BINARY_DIR}/wineprefix ${KORVA_WINE})
endif()
