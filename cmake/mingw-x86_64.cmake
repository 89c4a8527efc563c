# Toolchain of the 64-bit Windows build (build-win64/): Debian's mingw-w64 for
# x86_64, tested under wine64, which needs no 32-bit support from the
# machine. The code is the same as the 32-bit build's; a custom-action DLL
# and the report server's client library it loads must be of one bitness,
# which is why both builds are shipped.
#
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVA_MINGW_TRIPLE x86_64-w64-mingw32)
# Debian's wine64 package puts its loader in /usr/lib/wine only; the plain
# "wine" wrapper prefers the 32-bit loader where it is installed.
set(KORVA_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
