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
