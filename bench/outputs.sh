#!/usr/bin/env bash
# Every output of vantor-host for the examples and bench/data/large.sdf, under a few settings, into
# one folder, so that two builds can be compared byte for byte:
#   bench/outputs.sh OUT [VANTOR_HOST]         (default: build/bin/vantor-host)
#   diff -r OLD NEW                             (no output: the same bytes)
# Each molecule is written as glb, usda, usdz and the JSON report, with the defaults, with nuclei,
# van der Waals radii and capped bonds, and with x-ray and a triangle budget; a collection of the
# examples adds a file per record and a manifest.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: bench/outputs.sh OUT [VANTOR_HOST]}
host=$(realpath "${2:-build/bin/vantor-host}")
mkdir -p "$out"
out=$(realpath "$out")

settings=(
  "plain:"
  "styled:--set MOLOBJ_SHOW_NUCLEUS=true --set MOLOBJ_RADIUS_MODE=1 --set MOLOBJ_BOND_CAPS=1"
  "budget:--set MOLOBJ_XRAY=true --max-triangles 20000"
)
for molecule in examples/caffeine.mol examples/water.mol examples/benzene.sdf bench/data/large.sdf; do
  stem=$(basename "${molecule%.*}")
  for setting in "${settings[@]}"; do
    name=${setting%%:*}
    read -r -a words <<<"${setting#*:}"
    "$host" "$molecule" "${words[@]}" --gltf "$out/$stem-$name.glb" --usd "$out/$stem-$name.usdz" \
      --json "$out/$stem-$name.json" 2>"$out/$stem-$name.log" || true
    "$host" "$molecule" "${words[@]}" --usd "$out/$stem-$name.usda" 2>/dev/null || true
  done
done
# a collection of every example, each record to its own files, with a manifest
mkdir -p "$out/collection"
for molecule in examples/caffeine.mol examples/water.mol examples/benzene.sdf; do
  sed '/^\$\$\$\$/d' "$molecule"
  echo '$$$$'
done >"$out/collection/all.sdf"
(cd "$out/collection" && "$host" all.sdf --records all --gltf '{record}.glb' --json '{record}.json' \
  --usd '{title}.usdz' --manifest manifest.jsonl --quiet 2>/dev/null) || true
