#!/usr/bin/env bash
# Makes the Python environment in which the tests usd.* open what vantor-host writes with Pixar's
# own USD (usd-core, pinned in tests/usd/requirements.txt); does nothing when it is there with
# those pins.
#
#   scripts/usd-venv.sh [FOLDER]      (default: build/usd-venv)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
venv="${1:-$root/build/usd-venv}"
requirements="$root/tests/usd/requirements.txt"
stamp="$venv/requirements.txt"

if [ -x "$venv/bin/python" ] && cmp -s "$requirements" "$stamp"; then
  exit 0
fi
python3 -m venv "$venv"
"$venv/bin/python" -m pip install --quiet --disable-pip-version-check -r "$requirements"
cp "$requirements" "$stamp"
