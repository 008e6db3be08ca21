#!/usr/bin/env bash
# Opening a document against the number of molecule objects it holds: for each count, a document
# of that many objects is saved by a script, then opened by another, and the open's time and peak
# memory (maximum resident set size) are printed, less those of a script that only loads the
# module. The last count is one past the most a document may hold, which is refused (on save). Then the
# same for evaluating 1, 100 and 1000 objects of the 999 atoms of bench/data/large.sdf, whose
# memory is that of their nodes and their few distinct shapes.
#   bench/document.sh [COUNT...]     (default: 100 1000 10000 10001)
# VANTOR_HOST names another vantor-host to measure (default: build/bin/vantor-host).
set -euo pipefail
cd "$(dirname "$0")/.."
host=$(realpath "${VANTOR_HOST:-build/bin/vantor-host}")
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(100 1000 10000 10001)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if [ ! -x /usr/bin/time ]; then
  echo "no /usr/bin/time (Debian package time): nothing measured" >&2
  exit 1
fi

# "SECONDS KILOBYTES" of a script run, the script's own status aside.
measure() {
  /usr/bin/time -f '%e %M' -o "$out/time" "$host" --script "$1" >/dev/null 2>"$out/err" || true
  tail -1 "$out/time"
}

printf 'load\n' >"$out/load.vscript"
read -r base_s base_kb < <(measure "$out/load.vscript")
echo "load alone: $base_s s, $(( base_kb / 1024 )) MB"
printf '%8s  %9s  %9s  %10s  %s\n' objects "open (s)" "peak (MB)" "per object" ""
for count in "${counts[@]}"; do
  { echo load; for i in $(seq "$count"); do echo "new m$i"; done; echo "save $out/doc.vdoc"; } >"$out/save.vscript"
  rm -f "$out/doc.vdoc"
  if ! "$host" --script "$out/save.vscript" >/dev/null 2>"$out/err"; then
    printf '%8d  refused on save: %s\n' "$count" "$(grep -h "a document may hold" "$out/err" | sed 's/.*: the document/the document/')"
    continue
  fi
  printf 'load\nopen %s\n' "$out/doc.vdoc" >"$out/open.vscript"
  read -r s kb < <(measure "$out/open.vscript")
  kb=$(( kb - base_kb ))
  note=$(grep -h "a document may hold" "$out/err" | sed "s|.*line 2: $out/|refused: |") || true
  printf '%8d  %9.2f  %9d  %7.1f KB  %s\n' "$count" "$(awk -v a="$s" -v b="$base_s" 'BEGIN { print a - b }')" \
    $(( kb / 1024 )) "$(awk -v k="$kb" -v n="$count" 'BEGIN { print k / n }')" "$note"
done

# a damaged document: 16 MiB of zeros after a header that claims 16,777,196 nodes
{ printf 'VANTORDC\001\000\000\000\354\377\377\000'; head -c $(( (16 << 20) - 16 )) /dev/zero; } >"$out/doc.vdoc"
read -r s kb < <(measure "$out/open.vscript")
echo "damaged, 16 MiB, claiming 16,777,196 nodes: $(awk -v a="$s" -v b="$base_s" 'BEGIN { print a - b }') s," \
  "$(( (kb - base_kb) / 1024 )) MB; $(grep -h "line 2" "$out/err" | sed 's/.*line 2: //')"

printf '%8s  %9s  %9s  %10s\n' "evaluated" "time (s)" "peak (MB)" "per object"
for count in 1 100 1000; do
  { echo load; for i in $(seq "$count"); do
      printf 'new m%d\nset m%d MOLOBJ_FILE %s\npress m%d MOLOBJ_LOAD\n' "$i" "$i" "$PWD/bench/data/large.sdf" "$i"
    done; echo eval; } >"$out/eval.vscript"
  read -r s kb < <(measure "$out/eval.vscript")
  kb=$(( kb - base_kb ))
  printf '%8d  %9.2f  %9d  %7.1f MB\n' "$count" "$(awk -v a="$s" -v b="$base_s" 'BEGIN { print a - b }')" \
    $(( kb / 1024 )) "$(awk -v k="$kb" -v n="$count" 'BEGIN { print k / n / 1024 }')"
done
