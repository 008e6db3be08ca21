#!/usr/bin/env bash
# Converting a collection: every record of an SD file to its own .glb in one run (one and two
# jobs), against one run per record on the split records and Open Babel's split into POV-Ray
# scenes; one large molecule against PyMOL's fastest mesh export; the peak memory for 100 and
# 100,000 records. The contenders are taken in turns, ROUNDS times, and the median is printed.
#
#   bench/collection.sh [HOST]    (default build/bin/vantor-host; SDF=..., ROUNDS=5, MEMORY=0 to skip)
set -euo pipefail
cd "$(dirname "$0")/.."
HOST=$(realpath "${1:-build/bin/vantor-host}")
SDF=$(realpath "${SDF:-/usr/share/RDKit/Projects/DbCLI/testData/pubchem.200.sdf}")
LARGE=$(realpath bench/data/large.sdf)
ROUNDS=${ROUNDS:-5}
MEMORY=${MEMORY:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

records=$(grep -c '^\$\$\$\$' "$SDF")
mkdir -p "$work/split"
awk -v dir="$work/split" '{ print > (dir "/" n+1 ".sdf") } /^\$\$\$\$/ { close(dir "/" n+1 ".sdf"); n++ }' "$SDF"

now() { date +%s.%N; }
# seconds taken by a command, in a fresh folder
timed() {
  rm -rf "$work/out" && mkdir -p "$work/out"
  local start end
  start=$(now)
  (cd "$work/out" && "$@") >/dev/null 2>&1
  end=$(now)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

singles() { for file in "$work"/split/*.sdf; do "$HOST" "$file" --gltf "$(basename "$file" .sdf).glb"; done; }
one_run() { "$HOST" "$SDF" --records all --gltf '{record}.glb' --jobs "$1"; }
obabel_split() { obabel "$SDF" -O out.pov -m; }
pymol_export() {
  PATH=/usr/bin:/bin pymol -cq "$LARGE" -d 'show spheres; show sticks; set sphere_scale,0.25; save out.wrl'
}
large_run() { "$HOST" "$LARGE" --gltf large.glb; }

have_obabel=$(command -v obabel >/dev/null && echo 1 || echo 0)
have_pymol=$(PATH=/usr/bin:/bin command -v pymol >/dev/null && echo 1 || echo 0)
declare -A figures
for _ in $(seq "$ROUNDS"); do
  figures[singles]+="$(timed singles) "
  figures[jobs1]+="$(timed one_run 1) "
  figures[jobs2]+="$(timed one_run 2) "
  [ "$have_obabel" = 1 ] && figures[obabel]+="$(timed obabel_split) "
  figures[large]+="$(timed large_run) "
  [ "$have_pymol" = 1 ] && figures[pymol]+="$(timed pymol_export) "
done
m() { tr ' ' '\n' <<<"${figures[$1]}" | grep . | median; }
singles_s=$(m singles) jobs1_s=$(m jobs1) jobs2_s=$(m jobs2) large_s=$(m large)

echo "$records records of $(basename "$SDF"), each to its own .glb (median of $ROUNDS rounds, taken in turns):"
printf '  %-34s %8.3f s  %7.0f molecules/s\n' "one run per record" "$singles_s" "$(echo "$records / $singles_s" | bc -l)"
printf '  %-34s %8.3f s  %7.0f molecules/s  (%.1fx the single runs)\n' "one run, --jobs 1" "$jobs1_s" \
  "$(echo "$records / $jobs1_s" | bc -l)" "$(echo "$singles_s / $jobs1_s" | bc -l)"
printf '  %-34s %8.3f s  %7.0f molecules/s  (%.2fx --jobs 1)\n' "one run, --jobs 2" "$jobs2_s" \
  "$(echo "$records / $jobs2_s" | bc -l)" "$(echo "$jobs1_s / $jobs2_s" | bc -l)"
if [ "$have_obabel" = 1 ]; then
  obabel_s=$(m obabel)
  printf '  %-34s %8.3f s  %7.0f molecules/s  (--jobs 1 is %.2fx faster)\n' "obabel IN -O out.pov -m" "$obabel_s" \
    "$(echo "$records / $obabel_s" | bc -l)" "$(echo "$obabel_s / $jobs1_s" | bc -l)"
fi
echo "one molecule, $(basename "$LARGE") to .glb:"
printf '  %-34s %8.3f s\n' "vantor-host" "$large_s"
if [ "$have_pymol" = 1 ]; then
  pymol_s=$(m pymol)
  printf '  %-34s %8.3f s  (vantor-host is %.1fx faster)\n' "pymol -cq ... save out.wrl" "$pymol_s" \
    "$(echo "$pymol_s / $large_s" | bc -l)"
fi

if [ "$MEMORY" = 1 ]; then
  # the peak memory of one run is flat in the number of records: the same records, 100 and 100,000 of them
  echo "peak memory of one run, every record to .glb (--jobs 1):"
  for count in 100 100000; do
    awk -v want="$count" 'BEGIN { RS = "\\$\\$\\$\\$\n"; ORS = "" } { r[NR] = $0 "$$$$\n" }
      END { for (i = 0; i < want; i++) print r[i % (NR - 1) + 1] }' "$SDF" >"$work/many.sdf"
    rm -rf "$work/out" && mkdir -p "$work/out"
    peak=$(cd "$work/out" && /usr/bin/time -f %M "$HOST" "$work/many.sdf" --records all --gltf '{record}.glb' \
      --quiet 2>&1 >/dev/null | tail -1)
    printf '  %7d records  %6d KB\n' "$count" "$peak"
  done
fi
