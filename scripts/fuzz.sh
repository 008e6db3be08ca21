#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default: 60 seconds each, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(sdf_reader element_table stored_block document_open script)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVANTOR_FUZZ=ON -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF >/dev/null
cmake --build build-fuzz

for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  # the committed seeds stay small: new finds go to the build folder
  cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  echo "== $target: $seconds s"
  log=build-fuzz/$target.log
  status=0
  ASAN_OPTIONS=detect_leaks=1 build-fuzz/bin/"${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix=build-fuzz/ "$corpus" >"$log" 2>&1 || status=$?
  grep -E "stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|^Done" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "$target failed ($status): see $log" >&2
    exit 1
  fi
done
