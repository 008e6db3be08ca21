#!/usr/bin/env bash
# The instructions vantor-host takes for bench/data/large.sdf to each of glb, usdz and the JSON
# report, counted by callgrind (the same on every run of one build), against the budgets in
# bench/instructions.budget: a count more than 3% over its budget fails. A change that must cost
# more raises the budget in the same commit and says why in its message.
#   bench/instructions.sh [VANTOR_HOST]      (default build/bin/vantor-host)
#   UPDATE=1 bench/instructions.sh           writes the counts as the new budgets
set -euo pipefail
cd "$(dirname "$0")/.."
host=$(realpath "${1:-build/bin/vantor-host}")
budgets=bench/instructions.budget
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

declare -A options=([glb]="--gltf $out/large.glb" [usdz]="--usd $out/large.usdz" [json]="--json $out/large.json")
failed=0
new=""
for form in glb usdz json; do
  read -r -a words <<<"${options[$form]}"
  valgrind --tool=callgrind --callgrind-out-file="$out/$form.callgrind" "$host" bench/data/large.sdf "${words[@]}" \
    2>"$out/$form.log" >/dev/null
  count=$(sed -nE 's/.*Collected : ([0-9]+).*/\1/p' "$out/$form.log")
  [ -n "$count" ] || { cat "$out/$form.log" >&2; echo "no count for $form" >&2; exit 1; }
  new+="$form $count"$'\n'
  budget=$(awk -v f="$form" '$1 == f { print $2 }' "$budgets")
  if [ -z "$budget" ]; then
    printf '%-5s %12d instructions (no budget)\n' "$form" "$count"
    continue
  fi
  verdict=$(awk -v c="$count" -v b="$budget" 'BEGIN { printf "%+.1f%% of its budget, %d", 100 * (c - b) / b, b }')
  if awk -v c="$count" -v b="$budget" 'BEGIN { exit !(c > 1.03 * b) }'; then
    printf '%-5s %12d instructions: %s, more than 3%% over\n' "$form" "$count" "$verdict"
    failed=1
  else
    printf '%-5s %12d instructions: %s\n' "$form" "$count" "$verdict"
  fi
done
if [ "${UPDATE:-0}" = 1 ]; then
  { echo "# large.sdf to each form: the instructions vantor-host may take (bench/instructions.sh)"; printf '%s' "$new"; } \
    >"$budgets"
  echo "wrote $budgets"
  exit 0
fi
exit "$failed"
