#!/usr/bin/env bash
# Builds the libFuzzer targets of the pure text units with clang (ASan and
# UBSan) and runs each for a bounded time: ./scripts/fuzz.sh [SECONDS]
# New inputs go to build/fuzz/corpus; the checked-in seeds stay as they are.
# What a run finds belongs in fuzz/corpus with its mend.
#   ./scripts/fuzz.sh --replay   the test command's run: the checked-in
#   corpus and a fixed number of mutations from a fixed seed, so its result
#   is the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
replay=0
if [[ "${1:-}" == "--replay" ]]; then replay=1; shift; fi
seconds=${1:-60}
out=${BUILD_DIR:-$root/build}/fuzz
mkdir -p "$out"
clangxx=$(command -v clang++ || command -v clang++-14)
mapfile -t pure < "$root/src/pure-sources.txt"
sources=("${pure[@]/#/$root/src/}" "$root/src/common/LeadBytesNative.cpp")
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I "$root/src")

status=0
for target in MaskFuzz:masks ShorteningFuzz:shortening ShareFuzz:shares PathFuzz:paths MergeFuzz:merges RecordFuzz:records IndexFuzz:indexes LastLookFuzz:looks LayoutFuzz:layouts OrderFuzz:orders ImageFuzz:images SavedListFuzz:lists; do
  name=${target%%:*}
  corpus=${target##*:}
  binary="$out/$name"
  "$clangxx" "${flags[@]}" "$root/fuzz/$name.cpp" "${sources[@]}" -o "$binary"
  if [[ $replay == 1 ]]; then
    # A fresh scratch folder each time: what an earlier run found does not
    # change this run's inputs.
    rm -rf "$out/replay/$corpus"; mkdir -p "$out/replay/$corpus"
    echo "== $name: checked-in corpus and 200000 runs from seed 1"
    run=("$binary" -seed=1 -runs=200000 -print_final_stats=1 -artifact_prefix="$out/$name-"
         "$out/replay/$corpus" "$root/fuzz/corpus/$corpus")
  else
    mkdir -p "$out/corpus/$corpus"
    echo "== $name for ${seconds}s"
    run=("$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/$name-"
         "$out/corpus/$corpus" "$root/fuzz/corpus/$corpus")
  fi
  if "${run[@]}" > "$out/$name.log" 2>&1; then
    grep -a -E 'stat::number_of_executed_units|Done' "$out/$name.log" | tail -2
  else
    echo "$name FAILED:"; tail -40 "$out/$name.log"; status=1
  fi
done
exit $status
