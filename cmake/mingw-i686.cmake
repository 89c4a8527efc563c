# Toolchain of the 32-bit Windows build (build-win32/), the product's own
# platform: Debian's mingw-w64 for i686, tested under wine's 32-bit loader.
#
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVA_MINGW_TRIPLE i686-w64-mingw32)
set(KORVA_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
