#!/usr/bin/env bash
# Times whole vantor-host runs that read a molecule and write its glTF, and prints the median.
#   bench/whole_process.sh [RUNS] [MOLECULE]     (default: 15 runs of bench/data/large.sdf)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
molecule=${2:-bench/data/large.sdf}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  build/bin/vantor-host "$molecule" --gltf "$out/model.glb" >/dev/null 2>&1
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
median=${sorted[$(( runs / 2 ))]}
atoms=$(sed -n 4p "$molecule" | cut -c1-3 | tr -d ' ')
printf '%s (%s atoms): median %d.%03d ms, fastest %d.%03d ms over %d runs; %s bytes of glTF\n' \
  "$molecule" "$atoms" $(( median / 1000 )) $(( median % 1000 )) $(( sorted[0] / 1000 )) $(( sorted[0] % 1000 )) \
  "$runs" "$(stat -c %s "$out/model.glb")"
