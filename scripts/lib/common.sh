# Shared by the project's scripts: package installation and the two builds.

KELVORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
LINUX_BUILD="$KELVORA_ROOT/build/linux"
WINDOWS_BUILD="$KELVORA_ROOT/build/windows"
SANITIZE_BUILD="$KELVORA_ROOT/build/sanitize"
FUZZ_BUILD="$KELVORA_ROOT/build/fuzz"

LINUX_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev python3
                nlohmann-json3-dev libcli11-dev python3-jsonschema time libeigen3-dev libstb-dev
                libedit-dev pkgconf
                python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pandas python3-pytest
                python3-matplotlib python3-venv python3-pip python3-setuptools
                chromium dpkg-dev man-db)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 googletest clang unzip)

missing_packages() {
  local pkg missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  echo "${missing[@]}"
}

# ensure_packages <package>...: installs what is missing when running as root; returns 1 (and
# says what to install, or why apt-get could not) when something is missing and is not installed.
ensure_packages() {
  local missing errors
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
    echo "== Missing packages: $missing (install them with: sudo apt-get install $missing)"
    return 1
  fi
  echo "== Installing: $missing"
  errors=$(mktemp)
  if [ -z "${KELVORA_APT_UPDATED:-}" ]; then
    apt-get update -qq >/dev/null 2>>"$errors" && KELVORA_APT_UPDATED=1
  fi
  # shellcheck disable=SC2086
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null 2>>"$errors"; then
    rm -f "$errors"
    return 0
  fi
  apt_failure "$missing" "$errors"
  rm -f "$errors"
  return 1
}

# apt_failure <packages> <apt-get's standard error>: why a root install did not happen, in one
# line: another package manager holds apt's lock (its process named, as apt-get names it), or
# apt-get's own last error.
apt_failure() {
  local holder
  if grep -qiE 'could not get lock|unable to acquire the dpkg' "$2"; then
    holder=$(grep -oE 'process [0-9]+( \([^)]*\))?' "$2" | head -n 1) || true
    echo "== Cannot install $1: apt-get's lock is held${holder:+ by $holder} (another package" \
      "manager is running); run this again when it has finished"
  else
    echo "== Cannot install $1: apt-get failed: $(grep -v '^\s*$' "$2" | tail -n 1)"
  fi
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

# The sanitizer leg: everything built with AddressSanitizer and UndefinedBehaviorSanitizer. -O1
# with line tables only compiles in less than half the time of -O2 -g, and the sanitizers' stack
# traces still name files and lines.
build_sanitize() {
  cmake -S "$KELVORA_ROOT" -B "$SANITIZE_BUILD" -G Ninja -DKELVORA_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" "$@" >/dev/null
  cmake --build "$SANITIZE_BUILD"
}

# CMake's default generator (Unix Makefiles) builds the generated sources too: a fresh
# configuration with it, and the generated header built in it. Cheap: nothing is compiled.
check_default_generator() {
  local dir="$KELVORA_ROOT/build/default-generator"
  rm -rf "$dir"
  cmake -S "$KELVORA_ROOT" -B "$dir" >/dev/null
  cmake --build "$dir" --target kelvora_usage_header >/dev/null
  test -s "$dir/tools/kelvora_cli/generated/kelvora_usage.h"
}

# The fuzz targets alone, built with clang (libFuzzer), ASan and UBSan.
build_fuzz() {
  cmake -S "$KELVORA_ROOT" -B "$FUZZ_BUILD" -G Ninja -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DKELVORA_SANITIZE=ON -DKELVORA_FUZZ=ON \
    -DKELVORA_BUILD_TESTS=OFF "$@" >/dev/null
  cmake --build "$FUZZ_BUILD" --target fuzz_targets
}

# After the fuzz smoke: how many inputs each target ran (from CTest's log of the last run).
report_fuzz_smoke() {
  awk '/ Testing: fuzz_smoke_/ { target = $3 }
       /stat::number_of_executed_units/ { printf "   %-28s %s executions\n", target, $2 }' \
    "$FUZZ_BUILD/Testing/Temporary/LastTest.log"
}

# What the sanitizers do when they find something: stop the program with a stack trace, and
# report leaks at its end.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
