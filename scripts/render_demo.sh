#!/usr/bin/env bash
# Renders the model `make demo` writes (build/demo/caffeine.glb) to a picture, build/demo/caffeine.png
# by default, with f3d offscreen under a virtual X server; installs f3d and Xvfb with apt-get when
# missing. The README's picture is made with
#   scripts/render_demo.sh build/demo/caffeine.glb docs/caffeine.png
#   scripts/render_demo.sh [MODEL.glb] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
model=${1:-build/demo/caffeine.glb}
picture=${2:-build/demo/caffeine.png}
if [ ! -f "$model" ]; then
  echo "no $model: run make demo first" >&2
  exit 1
fi

missing=()
for package in f3d xvfb xauth; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$(dirname "$picture")"
# --dry-run: no user configuration file, so the picture is the same on every machine. The model's
# own materials give the colours; the camera looks a little from above and to the side.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  f3d --dry-run --quiet --output "$picture" --resolution 800,560 \
    --fxaa --tone-mapping --ssao --camera-elevation-angle 25 --camera-azimuth-angle 20 "$model"
echo "wrote $picture ($(wc -c <"$picture") bytes)"
