#!/usr/bin/env bash
# vantor-host as a converter, against PyMOL on the same file in the same run: the medians of
# whole runs to glTF, to the JSON report and (when PyMOL is installed) of PyMOL's .wrl export, the
# ratios, the peak memory of each vantor-host run and the sizes of what they write; and the USD
# stage of the same model, as USDA text and as a .usdz package.
#   bench/converter.sh [RUNS] [MOLECULE]     (default: 15 runs of bench/data/large.sdf)
# VANTOR_HOST names another vantor-host to time (default: build/bin/vantor-host).
# Targets: glTF at least 10 times faster than PyMOL, the JSON report (an inspection file) within 2
# times the glTF, USD (either form) within 1.5 times the glTF, and under 25 MB of peak memory. The runs take turns, so a busy machine slows all three alike.
# Each run writes a new file: the last run's is removed first, untimed, since on ext4 a file
# truncated and written again is sent to the disk when it is closed, which would time the disk
# rather than the conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
molecule=$(realpath "${2:-bench/data/large.sdf}")
host=$(realpath "${VANTOR_HOST:-build/bin/vantor-host}")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Debian's pymol runs with the system's python3, which another python3 earlier on PATH (pyenv,
# a virtual environment) would replace.
pymol_path="/usr/bin:$PATH"
have_pymol=no
if PATH=$pymol_path command -v pymol >/dev/null 2>&1; then have_pymol=yes; fi

# Microseconds a command takes, from the shell's own clock (no process of its own to time).
elapsed() {
  local start=${EPOCHREALTIME/[.,]/}
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  local end=${EPOCHREALTIME/[.,]/}
  echo $(( end - start ))
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ms() { printf '%d.%03d' $(( $1 / 1000 )) $(( $1 % 1000 )); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

gltf=() json=() usda=() usdz=() pymol=()
for _ in $(seq "$runs"); do
  rm -f "$out/model.glb" "$out/model.json" "$out/model.usda" "$out/model.usdz" "$out/out.wrl"
  gltf+=("$(elapsed "$host" "$molecule" --gltf "$out/model.glb")")
  json+=("$(elapsed "$host" "$molecule" --json "$out/model.json")")
  usda+=("$(elapsed "$host" "$molecule" --usd "$out/model.usda")")
  usdz+=("$(elapsed "$host" "$molecule" --usd "$out/model.usdz")")
  if [ $have_pymol = yes ]; then
    pymol+=("$(cd "$out" && PATH=$pymol_path elapsed pymol -cq "$molecule" \
      -d 'show spheres; show sticks; set sphere_scale,0.25; save out.wrl')")
  fi
done
gltf_median=$(median "${gltf[@]}")
json_median=$(median "${json[@]}")
usda_median=$(median "${usda[@]}")
usdz_median=$(median "${usdz[@]}")

atoms=$(sed -n 4p "$molecule" | cut -c1-3 | tr -d ' ')
echo "$molecule ($atoms atoms), medians of $runs runs each, taking turns:"
echo "  vantor-host --gltf  $(ms "$gltf_median") ms   $(stat -c %s "$out/model.glb") bytes"
echo "  vantor-host --json  $(ms "$json_median") ms   $(stat -c %s "$out/model.json") bytes"
echo "  vantor-host --usd   $(ms "$usda_median") ms   $(stat -c %s "$out/model.usda") bytes (.usda)"
echo "  vantor-host --usd   $(ms "$usdz_median") ms   $(stat -c %s "$out/model.usdz") bytes (.usdz)"
if [ $have_pymol = yes ]; then
  pymol_median=$(median "${pymol[@]}")
  echo "  pymol .wrl export   $(ms "$pymol_median") ms   $(stat -c %s "$out/out.wrl") bytes"
  echo "PyMOL / glTF: $(ratio "$pymol_median" "$gltf_median") (target: 10 or more)"
else
  echo "PyMOL is not installed (Debian package pymol): no PyMOL / glTF ratio"
fi
echo "JSON / glTF: $(ratio "$json_median" "$gltf_median") (target: 2 or less)"
echo "USDA / glTF: $(ratio "$usda_median" "$gltf_median"), USDZ / glTF: $(ratio "$usdz_median" "$gltf_median") (target: 1.5 or less)"

# peak memory (maximum resident set size) of one run each
if [ -x /usr/bin/time ]; then
  for mode in gltf json usd; do
    /usr/bin/time -f %M -o "$out/peak" "$host" "$molecule" --$mode "$out/peak.$mode" >/dev/null 2>&1
    kb=$(tail -1 "$out/peak")
    echo "peak memory, --$mode: $(( kb / 1024 )).$(( (kb % 1024) * 10 / 1024 )) MB (target: under 25 MB)"
  done
else
  echo "no /usr/bin/time (Debian package time): peak memory not measured"
fi
