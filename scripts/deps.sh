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
