#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds. Inputs that
# crash, exhaust memory, time out or leak are kept in build-fuzz/findings; each is printed, and the
# script fails when there is one. The whole output of a run that ended on a finding is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVELA_FUZZ=ON -DORVELA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target orvela_fuzzers
findings=build-fuzz/findings
mkdir -p "$findings"
shopt -s nullglob
failed=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/${name#fuzz_}"
  log="$findings/$name.log"
  echo "fuzzing $name for ${seconds}s"
  status=0
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/$name-" \
    "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$log"
    failed=1
  else
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || tail -n 3 "$log"
  fi
done
found=0
for finding in "$findings"/*-{crash,oom,timeout,leak,slow-unit}-*; do
  found=1
  echo "finding: $finding ($(stat -c %s "$finding") bytes)"
  od -A x -t x1z -v "$finding" | head -n 16
done
[ "$failed" -eq 0 ] && [ "$found" -eq 0 ]
