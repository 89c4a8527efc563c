# Sourced by scripts/test, scripts/test-windows and scripts/demo: installs what
# a build needs from Debian's packages, and only what is missing (through sudo
# when not root).

# Installs the named packages that are not installed yet. With --i386 first,
# the i386 architecture is added when missing (for wine32:i386).
korva_apt_install() {
  local add_i386=0
  if [ "${1:-}" = "--i386" ]; then
    add_i386=1
    shift
  fi
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ $add_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# The Linux build and its tests, plus any packages named.
korva_install_deps() {
  korva_apt_install cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest \
    libsqlite3-dev sqlite3 libexpat1-dev libssl-dev "$@"
}

# The 32-bit Windows build (scripts/test-windows): the i686 mingw-w64 cross
# compilers (posix thread model included), wine with its 32-bit half, the
# GoogleTest sources, and msitools and wixl for installer packages.
korva_install_windows_deps() {
  korva_apt_install --i386 cmake ninja-build googletest g++-mingw-w64-i686 wine wine32:i386 \
    msitools wixl "$@"
}

# Used by scripts/test: a Latin-1 locale, for the tests of report paths in an
# encoding other than UTF-8. Generated from Debian's locales package when the
# system has none.
korva_install_test_locales() {
  locale -a 2>/dev/null | grep -qix 'de_DE.iso88591' && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  korva_apt_install locales
  echo "Generating the locale de_DE.ISO-8859-1"
  grep -qx 'de_DE ISO-8859-1' /etc/locale.gen 2>/dev/null ||
    echo 'de_DE ISO-8859-1' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

# Used by scripts/test-windows: the SQLite amalgamation (sqlite3.c,
# sqlite3.h, sqlite3ext.h) for the Windows build, made from Debian's own
# source package of the machine's release, into DIR. Nothing is done when DIR
# already holds sqlite3.c. A deb-src entry mirroring the system's binary
# entries is added when apt knows no sources yet; only tclsh is needed beyond
# the unpacked sources.
korva_sqlite_amalgamation() {
  local dir=$1
  [ -f "$dir/sqlite3.c" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  korva_apt_install tcl
  if ! apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Package: sqlite3$'; then
    local list=/etc/apt/sources.list.d/korva-deb-src.sources
    if [ ! -f "$list" ]; then
      echo "Adding Debian's source packages: $list"
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
          $sudo tee "$list" >/dev/null
      else
        local codename
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
          "$codename" | $sudo tee "$list" >/dev/null
      fi
    fi
    $sudo apt-get update -qq
  fi
  local work
  work=$(mktemp -d)
  # apt downloads as its own user when run as root: the folder must let it.
  chmod 755 "$work"
  [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1 && chown _apt "$work"
  echo "Making the SQLite amalgamation from Debian's sources in $work"
  (
    cd "$work" &&
      apt-get source -qq sqlite3 >/dev/null &&
      cd "$(find . -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n1)" &&
      ./configure --disable-tcl >/dev/null &&
      make sqlite3.c >/dev/null
  ) || {
    rm -rf "$work"
    echo "The SQLite amalgamation could not be made" >&2
    return 1
  }
  local src
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n1)
  mkdir -p "$dir"
  cp "$src/sqlite3.c" "$src/sqlite3.h" "$dir/"
  [ -f "$src/sqlite3ext.h" ] && cp "$src/sqlite3ext.h" "$dir/"
  rm -rf "$work"
}

# Used by scripts/test-windows and scripts/demo --windows: configures the
# Windows build in DIR (the SQLite amalgamation made first, into
# DIR/sqlite-amalgamation) and builds the targets named, or all. With
# KORVA_POSIX_TOOLS_DIR naming a POSIX build, the tests also check that a
# repository made there is published to from Windows.
korva_build_windows() {
  local dir=$1
  shift
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  korva_sqlite_amalgamation "$dir/sqlite-amalgamation"
  echo "== configure $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVA_SQLITE_AMALGAMATION_DIR="$(cd "$dir/sqlite-amalgamation" && pwd)" \
    -DKORVA_POSIX_TOOLS_DIR="${KORVA_POSIX_TOOLS_DIR:-}" >/dev/null
  echo "== build $dir"
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j "$jobs" --target "$@"
  else
    cmake --build "$dir" -j "$jobs"
  fi
}

# Exports the wine prefix of the Windows build in DIR (DIR/wineprefix, the
# same as the toolchain file's emulator uses) and quiets wine; sets the
# prefix up once. No window may appear, and a fresh prefix is not to offer
# the .NET and HTML runtimes.
korva_wine_prefix() {
  local dir=$1
  export WINEPREFIX="$(cd "$dir" && pwd)/wineprefix" WINEDEBUG=-all
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== set up the wine prefix $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}
