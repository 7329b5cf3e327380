#!/bin/sh
# A fuzz target's smoke case, the same on every machine:
#
#   smoke.sh FUZZER RUNS WORK_FOLDER INPUT_FOLDER...
#
# First every input of the folders (seeds and regressions) runs once, in name order. Then RUNS
# inputs are fuzzed from random seed 1, starting from those inputs in that order, with new inputs
# kept in a fresh corpus under WORK_FOLDER: the same commit explores the same inputs everywhere,
# whatever the machine's speed or load. Findings are written to WORK_FOLDER/artifacts.
set -eu
fuzzer=$1 runs=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"

for folder in "$@"; do
  find "$folder" -maxdepth 1 -type f
done | LC_ALL=C sort >"$work/inputs"
[ -s "$work/inputs" ] || { echo "no inputs in: $*"; exit 1; }

# -malloc_limit_mb: no single allocation may pass the SDM allowance (64 MiB of values) by much.
# -timeout: an input this slow is a finding on any machine, however busy.
limits="-malloc_limit_mb=96 -timeout=60"

echo "== Replaying $(wc -l <"$work/inputs") seeds and regressions"
# shellcheck disable=SC2086
tr '\n' '\0' <"$work/inputs" | xargs -0 "$fuzzer" $limits -artifact_prefix="$work/artifacts/"

echo "== Fuzzing $runs inputs from seed 1"
tr '\n' ',' <"$work/inputs" | sed 's/,$//' >"$work/seed-inputs"
# -use_cmp=0: the operands of the program's comparisons would steer the mutations, and some of
# them are addresses, which differ from process to process (address-space randomisation, the
# length of the environment): the same seed would explore other inputs on every run.
# setarch -R: the addresses themselves also decide some branches (the standard library's copies
# ask whether source and destination overlap, by comparing addresses), so where the system lets
# it, the fuzzer runs without address-space randomisation.
same_addresses=""
if setarch -R true 2>/dev/null; then
  same_addresses="setarch -R"
else
  echo "== setarch -R is not allowed here: addresses are randomised, inputs may differ from run to run"
fi
# shellcheck disable=SC2086
exec $same_addresses "$fuzzer" $limits -seed=1 -use_cmp=0 -runs="$runs" -seed_inputs=@"$work/seed-inputs" \
  -reload=0 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus"
