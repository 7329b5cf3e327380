# Shared by the project's scripts: package installation and the two builds.

KELVORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
LINUX_BUILD="$KELVORA_ROOT/build/linux"
WINDOWS_BUILD="$KELVORA_ROOT/build/windows"

LINUX_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev python3
                nlohmann-json3-dev libcli11-dev python3-jsonschema libeigen3-dev libpng-dev
                chromium)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 googletest clang)

missing_packages() {
  local pkg missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  echo "${missing[@]}"
}

# ensure_packages <package>...: installs what is missing when running as root; returns 1 (and
# says what to install) when something is missing and cannot be installed.
ensure_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "== Installing: $missing"
    if [ -z "${KELVORA_APT_UPDATED:-}" ]; then
      apt-get update -qq >/dev/null && KELVORA_APT_UPDATED=1
    fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null && return 0
  fi
  echo "== Missing packages: $missing (install them with: sudo apt-get install $missing)"
  return 1
}

build_linux() {
  cmake -S "$KELVORA_ROOT" -B "$LINUX_BUILD" -G Ninja "$@" >/dev/null
  cmake --build "$LINUX_BUILD"
}

build_windows() {
  cmake -S "$KELVORA_ROOT" -B "$WINDOWS_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$KELVORA_ROOT/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
  cmake --build "$WINDOWS_BUILD"
}
