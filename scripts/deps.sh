# Sourced by scripts/test and scripts/demo: installs what the build needs from
# Debian's packages, and only what is missing.
korva_install_deps() {
  local want=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest
              libsqlite3-dev sqlite3 libexpat1-dev libssl-dev "$@")
  local missing=()
  for p in "${want[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# Used by scripts/test: a Latin-1 locale, for the tests of report paths in an
# encoding other than UTF-8. Generated from Debian's locales package when the
# system has none.
korva_install_test_locales() {
  locale -a 2>/dev/null | grep -qix 'de_DE.iso88591' && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg -s locales >/dev/null 2>&1; then
    echo "Installing missing packages: locales"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq locales
  fi
  echo "Generating the locale de_DE.ISO-8859-1"
  grep -qx 'de_DE ISO-8859-1' /etc/locale.gen 2>/dev/null ||
    echo 'de_DE ISO-8859-1' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}
