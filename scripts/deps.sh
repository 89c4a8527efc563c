# Sourced by scripts/test, scripts/test-windows and scripts/demo: installs what
# a build needs from Debian's packages, and only what is missing (through sudo
# when not root).

# Runs a command as root: through sudo when not root.
korva_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Whether this machine runs 32-bit x86 programs, decided by trying: a
# 96-byte static i386 program that only exits with status 42. Kernels
# without 32-bit emulation refuse it ("Exec format error"), and then no
# i686 program runs, under wine or not. The answer is kept for the shell.
korva_runs_i386() {
  if [ -z "${KORVA_RUNS_I386:-}" ]; then
    local probe
    probe=$(mktemp)
    # ELF header, one loadable segment at 0x08048000, then
    # mov eax,1; mov ebx,42; int 0x80 at the entry 0x08048054.
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0''\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0''\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
    chmod 700 "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    if [ "$rc" -eq 42 ]; then KORVA_RUNS_I386=yes; else KORVA_RUNS_I386=no; fi
  fi
  [ "$KORVA_RUNS_I386" = yes ]
}

# apt-get update, tried three times with a pause between. A mirror in the
# middle of a sync can fail one index for hours (a security index that does
# not match its Release file); that is not fatal: the install that follows
# decides, with the indexes that did arrive.
korva_apt_update() {
  local try
  for try in 1 2 3; do
    korva_as_root apt-get update -qq >/dev/null 2>&1 && return 0
    [ "$try" -lt 3 ] && sleep 5
  done
  echo "apt-get update failed three times; going on with the indexes there are" >&2
  return 0
}

# Installs the named packages that are not installed yet. With --i386 first,
# the i386 architecture is added when missing (for wine32:i386); only call
# it so on a machine that runs i386 programs. An install the resolver
# refuses is tried again with the release's own suite preferred (-t
# <codename>). When it still fails, one line names the packages and apt's
# own error, and the answer is non-zero.
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
  if [ $add_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    korva_as_root dpkg --add-architecture i386
  fi
  korva_apt_update
  local log codename
  log=$(mktemp)
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if ! korva_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
      >"$log" 2>&1 &&
    ! { [ -n "$codename" ] &&
      korva_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t "$codename" \
        "${missing[@]}" >"$log" 2>&1; }; then
    echo "Could not install ${missing[*]}: $(grep '^E:' "$log" | head -n1 | sed 's/^E: //')" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# The Linux build and its tests, plus any packages named: the HTTPS client
# and server (cpp-httplib, nlohmann-json), the tests' TLS peer (python3,
# openssl) and the web console's browser tests (chromium, chromium-driver,
# python3-selenium).
korva_install_deps() {
  korva_apt_install cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest \
    libsqlite3-dev sqlite3 libexpat1-dev libssl-dev libcpp-httplib-dev nlohmann-json3-dev \
    python3 openssl chromium chromium-driver python3-selenium "$@"
}

# The Windows builds (scripts/test-windows, scripts/demo --windows), for the
# architectures named (i686, x86_64): the mingw-w64 cross compilers of each
# (posix thread model included), the GoogleTest sources, msitools and wixl
# for installer packages, and, with --run, the wine that runs each: wine
# with its 32-bit half (the i386 architecture) for i686, wine64 for x86_64.
korva_install_windows_deps() {
  local run=0
  if [ "${1:-}" = "--run" ]; then
    run=1
    shift
  fi
  # nlohmann-json: the wire messages' JSON (its headers serve every target);
  # python3 and openssl: the TLS peer of the HTTPS client's tests.
  local pkgs=(cmake ninja-build googletest msitools wixl nlohmann-json3-dev python3 openssl) i386=()
  local arch
  for arch in "$@"; do
    case $arch in
      i686)
        pkgs+=(g++-mingw-w64-i686)
        if [ $run -eq 1 ]; then
          pkgs+=(wine wine32:i386)
          i386=(--i386)
        fi
        ;;
      x86_64)
        pkgs+=(g++-mingw-w64-x86-64)
        [ $run -eq 1 ] && pkgs+=(wine wine64)
        ;;
      *)
        echo "Unknown Windows architecture: $arch (i686 or x86_64)" >&2
        return 1
        ;;
    esac
  done
  korva_apt_install "${i386[@]}" "${pkgs[@]}"
}

# The Windows build directory of an architecture: build-win32 for i686,
# build-win64 for x86_64 (KORVA_WIN32_BUILD_DIR and KORVA_WIN64_BUILD_DIR name
# others).
korva_windows_build_dir() {
  case $1 in
    i686) echo "${KORVA_WIN32_BUILD_DIR:-build-win32}" ;;
    *) echo "${KORVA_WIN64_BUILD_DIR:-build-win64}" ;;
  esac
}

# The wine loader of an architecture: wine (the wrapper, which takes the
# 32-bit loader) for i686, wine64 on the PATH or in /usr/lib/wine for x86_64.
korva_wine_loader() {
  if [ "$1" = i686 ]; then
    command -v wine
  else
    command -v wine64 || echo /usr/lib/wine/wine64
  fi
}

# Used by scripts/test: a Latin-1 locale, for the tests of report paths in an
# encoding other than UTF-8. Generated from Debian's locales package when the
# system has none.
korva_install_test_locales() {
  locale -a 2>/dev/null | grep -qix 'de_DE.iso88591' &&
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  korva_apt_install locales
  echo "Generating the locales de_DE.ISO-8859-1 and ja_JP.UTF-8"
  grep -qx 'de_DE ISO-8859-1' /etc/locale.gen 2>/dev/null ||
    echo 'de_DE ISO-8859-1' | korva_as_root tee -a /etc/locale.gen >/dev/null
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'ja_JP.UTF-8 UTF-8' | korva_as_root tee -a /etc/locale.gen >/dev/null
  korva_as_root locale-gen >/dev/null
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
  korva_apt_install tcl
  if ! apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Package: sqlite3$'; then
    local list=/etc/apt/sources.list.d/korva-deb-src.sources
    if [ ! -f "$list" ]; then
      echo "Adding Debian's source packages: $list"
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
          korva_as_root tee "$list" >/dev/null
      else
        local codename
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
          "$codename" | korva_as_root tee "$list" >/dev/null
      fi
    fi
    korva_apt_update
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
# Windows build of ARCH (i686 or x86_64) in DIR, with its tests when TESTS is
# ON, without them when OFF, as configured before when empty, the SQLite amalgamation made first into DIR/sqlite-amalgamation (or
# taken from the other Windows build's), and builds the targets named, or
# all. With KORVA_POSIX_TOOLS_DIR naming a POSIX build, the tests also check
# that a repository made there is published to from Windows.
#   korva_build_windows ARCH DIR TESTS [target...]
korva_build_windows() {
  local arch=$1 dir=$2 tests=$3
  shift 3
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  local other
  for other in build-win32 build-win64; do
    if [ ! -f "$dir/sqlite-amalgamation/sqlite3.c" ] && [ -f "$other/sqlite-amalgamation/sqlite3.c" ]; then
      mkdir -p "$dir"
      cp -r "$other/sqlite-amalgamation" "$dir/"
    fi
  done
  korva_sqlite_amalgamation "$dir/sqlite-amalgamation"
  echo "== configure $dir ($arch)"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo ${tests:+-DKORVA_TESTS="$tests"} \
    -DKORVA_SQLITE_AMALGAMATION_DIR="$(cd "$dir/sqlite-amalgamation" && pwd)" \
    -DKORVA_POSIX_TOOLS_DIR="${KORVA_POSIX_TOOLS_DIR:-}" >/dev/null
  echo "== build $dir"
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j "$jobs" --target "$@"
  else
    cmake --build "$dir" -j "$jobs"
  fi
}

# Exports the wine prefix of the Windows build of ARCH in DIR (DIR/wineprefix,
# the same as the toolchain file's emulator uses), quiets wine and names its
# loader in KORVA_WINE; sets the prefix up once (a 64-bit prefix for x86_64).
# No window may appear, and a fresh prefix is not to offer the .NET and HTML
# runtimes. Answers non-zero when wine cannot set the prefix up.
#   korva_wine_prefix ARCH DIR
korva_wine_prefix() {
  local arch=$1 dir=$2
  export WINEPREFIX="$(cd "$dir" && pwd)/wineprefix" WINEDEBUG=-all
  KORVA_WINE=$(korva_wine_loader "$arch")
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== set up the wine prefix $WINEPREFIX"
    local winearch=win32
    [ "$arch" = x86_64 ] && winearch=win64
    if ! WINEARCH=$winearch WINEDLLOVERRIDES="mscoree,mshtml=" "$KORVA_WINE" wineboot -i \
        >/dev/null 2>&1; then
      rm -rf "$WINEPREFIX"
      return 1
    fi
    korva_wineserver -w
  fi
}

# The wine server of the prefix in WINEPREFIX, with the arguments given.
korva_wineserver() {
  if command -v wineserver >/dev/null; then
    wineserver "$@"
  else
    /usr/lib/wine/wineserver "$@"
  fi
}
