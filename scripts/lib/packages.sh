# The release packages: how scripts/package builds them and how scripts/test checks them as a
# user would. Sourced after common.sh, with both builds done.

KELVORA_VERSION="$(sed -n 's/^project(Kelvora VERSION \([0-9.]*\).*/\1/p' \
  "$KELVORA_ROOT/CMakeLists.txt")"
WINDOWS_ZIP="$WINDOWS_BUILD/packages/Kelvora-$KELVORA_VERSION-windows-x64.zip"
# The example study's two findings, as the README shows them.
EXAMPLE_FINDINGS='!!!  sub-03, predictor number 3 named "Bodies" contains only zeros across runs
!!!  sub-02_run-2.sdm predictor number 12 named "Rot Z" contains only zeros'

# quietly <command>...: runs it with its output kept back, and shows the output only when it fails.
quietly() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { cat "$log"; rm -f "$log"; return 1; }
  rm -f "$log"
}

# package <build folder>: runs CPack there; the package lands in <build folder>/packages.
package() {
  local log
  log=$(cpack --config "$1/CPackConfig.cmake" 2>&1) || { echo "$log"; return 1; }
}

debian_package() {
  echo "$LINUX_BUILD/packages/kelvora_${KELVORA_VERSION}_$(dpkg --print-architecture).deb"
}

# expect_example_findings <exit status> <output file>: the example study's run found its two
# problems (status 1, and exactly these finding lines).
expect_example_findings() {
  [ "$1" = 1 ] || { echo "exit status $1, expected 1"; return 1; }
  diff <(grep -a '^!!!  ' "$2" | tr -d '\r') <(echo "$EXAMPLE_FINDINGS")
}

# Installs the Debian package with dpkg, runs the installed command on a copy of the installed
# example study, then purges the package (also when a check failed) and checks that none of its
# files is left.
check_debian_package() {
  local work result=0 files
  work=$(mktemp -d)
  dpkg -i "$(debian_package)" >/dev/null
  installed_command_works "$work" || result=1
  installed_python_package_works "$work" || { echo "the installed Python package"; result=1; }
  files=$(dpkg-query -L kelvora)
  dpkg --purge kelvora >/dev/null
  while read -r file; do
    [ -d "$file" ] || [ ! -e "$file" ] || { echo "left after removal: $file"; result=1; }
  done <<<"$files"
  rm -rf "$work"
  return $result
}

installed_command_works() {
  local work=$1 status=0
  [ "$(kelvora --version)" = "kelvora $KELVORA_VERSION" ] || { echo "kelvora --version"; return 1; }
  [ "$(man -w kelvora)" = /usr/share/man/man1/kelvora.1.gz ] || { echo "man -w kelvora"; return 1; }
  installed_readme_links_resolve || return 1
  # As the installed README's quick start does: the read-only examples copied first.
  cp -r /usr/share/doc/kelvora/examples "$work/" || return 1
  (cd "$work/examples/study" && kelvora group.mdm >"$work/out.txt") || status=$?
  expect_example_findings "$status" "$work/out.txt"
}

# Every relative link of the installed README names an installed file.
installed_readme_links_resolve() {
  local docs=/usr/share/doc/kelvora link result=0
  for link in $(grep -oE '\]\([^):#]+' "$docs/README.md" | cut -c3-); do
    [ -e "$docs/$link" ] || { echo "the installed README links to $link, not installed"; result=1; }
  done
  return $result
}

# Unzips the Windows package into an empty folder; there, under Wine, runs kelvora.exe on the
# example study and has the stand-in host load Kelvora.dll and inspect the same study. Then the
# binaries' version resources, as objdump shows them.
check_windows_zip() {
  local work folder study status=0 binary strings expected
  work=$(mktemp -d)
  unzip -q "$WINDOWS_ZIP" -d "$work"
  folder="$work/Kelvora-$KELVORA_VERSION-windows-x64"
  study="$folder/examples/study"
  # As the package's README.txt shows it: from the unzipped folder.
  (cd "$folder" && "$WINDOWS_BUILD/wine-run.sh" kelvora.exe examples/study/group.mdm \
    >"$work/cli.txt") || status=$?
  expect_example_findings "$status" "$work/cli.txt"
  rm "$study/group_log.txt"
  (cd "$study" && "$WINDOWS_BUILD/wine-run.sh" \
    "$WINDOWS_BUILD/tools/standin_host/full/HalvaneZR.exe" --open group.mdm \
    "$folder/Kelvora.dll" >"$work/host.txt")
  grep -q 'contains only zeros across runs' "$study/group_log.txt"
  grep -q 'Saved findings to' "$work/host.txt"
  for binary in Kelvora.dll kelvora.exe; do
    strings=$(x86_64-w64-mingw32-objdump -s -j .rsrc "$folder/$binary" | version_resource_strings)
    for expected in "FileVersion $KELVORA_VERSION" "ProductVersion $KELVORA_VERSION" \
                    "OriginalFilename $binary"; do
      grep -qxF "$expected" <<<"$strings" || { echo "$binary: no \"$expected\""; return 1; }
    done
  done
  rm -rf "$work"
}

# The UTF-16 texts of a resource section that objdump dumps in hex, as "Name Value" lines of the
# version resource's string table.
version_resource_strings() {
  python3 -c '
import re, sys
# Each dump line: an address, then 16 bytes in four groups (35 columns), then the same as text.
dump = [re.match(r"^ [0-9a-f]{4,} (.{1,35})", line) for line in sys.stdin]
data = b"".join(bytes.fromhex(m.group(1).replace(" ", "")) for m in dump if m)
texts = [t.decode("utf-16-le") for t in re.findall(rb"(?:[\x20-\x7e]\x00){2,}", data)]
for name, value in zip(texts, texts[1:]):
    print(name, value)'
}

# list_package <file>: its contents with their sizes in bytes, for the record.
list_package() {
  case "$1" in
    *.deb) dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $3, $6 }' ;;
    *.zip) unzip -l "$1" | awk 'NR > 3 && $4 != "" && $4 !~ /\/$/ { print $1, $4 }' ;;
  esac | sort -k2
  echo "$(stat -c %s "$1") bytes: $(basename "$1")"
}

# The Python package (Debian's /usr/bin/python3): pip install --no-build-isolation of the clone
# into a fresh venv that sees Debian's numpy and pandas, then an import and a smoke check, as the
# README says; the pytest suite itself runs in ctest (tests/python).
check_python_pip_install() {
  local venv status=0
  venv=$(mktemp -d)
  /usr/bin/python3 -m venv --system-site-packages "$venv"
  quietly "$venv/bin/pip" install --no-build-isolation --no-index "$KELVORA_ROOT" || status=1
  if [ $status = 0 ]; then
    (cd "$venv" && "$venv/bin/python" -c 'import kelvora, sys
outcome = kelvora.inspect(sys.argv[1], findings_file=False)
assert outcome.exit_status == 1, outcome' "$KELVORA_ROOT/examples/study/group.mdm") || status=1
  fi
  rm -rf "$venv"
  return $status
}

# After dpkg -i: Debian's python3 imports the installed package and inspects the example study.
installed_python_package_works() {
  (cd "$1" && /usr/bin/python3 -c 'import kelvora, sys
assert kelvora.__file__.startswith("/usr/lib/python3/dist-packages/"), kelvora.__file__
assert kelvora.inspect(sys.argv[1], findings_file=False).exit_status == 1' \
    "$1/examples/study/group.mdm")
}
