#!/usr/bin/env bash
# The libFuzzer targets (clang): built into build-fuzz/, run from the kept corpus in fuzz/corpus/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   each target for SECONDS (default 60) from its kept corpus;
#                                           what it finds goes to build-fuzz/corpus/TARGET, crashes
#                                           to build-fuzz/artifacts/TARGET
#   scripts/fuzz.sh merge [TARGET...]       folds those finds into fuzz/corpus/TARGET, minimised
#   scripts/fuzz.sh coverage [TARGET...]    replays the kept corpus in a coverage build
#                                           (build-fuzz-coverage/) and prints line coverage per file
#
# FUZZ_PARALLEL=N runs N targets at a time (default 1); FUZZ_JOBS=N builds with N jobs (default 2);
# FUZZ_RUNS=N ends each target after N runs, when that comes before SECONDS; FUZZ_FORK=N runs each
# target as one run of N worker processes (libFuzzer's -fork: a long run on every core);
# FUZZ_NO_BUILD=1 uses the targets as they are built.
#
# In fuzz/corpus/TARGET, a file named by its SHA-1 (as libFuzzer names what it finds) belongs to
# the minimised set, which merge rewrites; any other name is kept as it is: a seed written by hand,
# or an input that once crashed (libFuzzer's crash-, leak-, timeout- and oom- files, which merge
# copies in from build-fuzz/artifacts).
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(sdf_reader element_table stored_block document_open script writers templates)
jobs=${FUZZ_JOBS:-2}
parallel=${FUZZ_PARALLEL:-1}

mode=run
case "${1:-}" in
  merge | coverage) mode=$1; shift ;;
esac
seconds=60
if [ "$mode" = run ] && [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  [ -f "fuzz/${target}_fuzz.cpp" ] || { echo "$0: no target '$target' (${all_targets[*]})" >&2; exit 2; }
done

# Asserts stay on: a programmer's check that fails is a finding too.
configure() {
  local folder=$1
  shift
  [ -n "${FUZZ_NO_BUILD:-}" ] && return  # the targets as they are (a merge with the binaries that ran)
  cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
    -DCMAKE_CXX_COMPILER=clang++ -DVANTOR_FUZZ=ON -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF "$@" >/dev/null
  cmake --build "$folder" --parallel "$jobs" --target "${targets[@]/%/_fuzz}"
}

# The dictionary of a target, when it has one: written by hand in fuzz/, or by the build.
dictionary() {
  local target=$1 folder=$2
  for file in "fuzz/$target.dict" "$folder/fuzz/$target.dict"; do
    [ -f "$file" ] && { echo "-dict=$file"; return; }
  done
}

# A target's own libFuzzer options. The script's inputs take from a tenth of a millisecond to 25
# (a molecule read, built and exported), and the inputs with rare features, which libFuzzer picks
# most, are the slowest: weighing inputs by their speed too runs three times as many a second and
# finds more.
#
# The writers keep shapes between models on purpose (the models of a collection share them), so
# nearly every input ends holding more than it began with, and libFuzzer would look for a leak
# after each (up to a fifth of its time): that target is checked for leaks when its run ends.
#
# Longer inputs than a target reads only slow it: a script of 2 KiB reaches all that one of 64 KiB
# does (the kept corpus cut to 2 KiB covers the same), and 12 nodes of the writers' take some
# 1,500 bytes. The script's inputs grew to 15 KiB in a million runs, at half the speed.
target_options() {
  case "$1" in
    script) echo "-entropic_scale_per_exec_time=1 -max_len=4096" ;;
    writers) echo "-detect_leaks=0 -max_len=4096" ;;
    *) echo "-max_len=65536" ;;
  esac
}

# Whether a kept input belongs to the minimised set: libFuzzer names what it finds by its SHA-1.
is_minimised() { [[ "$(basename "$1")" =~ ^[0-9a-f]{40}$ ]]; }

bytes_in() { find "$1" -type f -printf '%s\n' | awk '{ total += $1 } END { print total + 0 }'; }

stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -1 || true; }

run_target() {
  local target=$1
  local finds=build-fuzz/corpus/$target artifacts=build-fuzz/artifacts/$target log=build-fuzz/$target.log
  mkdir -p "$finds" "$artifacts"
  local status=0
  # New finds go to the first folder; the kept corpus is only read. A report does not say where
  # the memory it names was allocated or freed: recording that for every allocation took a fifth
  # of the time (the writers' 2,984 inputs in 4.25 s with 8 frames, 3.37 s without). Run a kept
  # crash again (build-fuzz/bin/TARGET_fuzz FILE) for the whole report.
  # shellcheck disable=SC2046
  ASAN_OPTIONS=detect_leaks=1:malloc_context_size=0 build-fuzz/bin/"${target}_fuzz" -max_total_time="$seconds" \
    ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} ${FUZZ_FORK:+-fork=$FUZZ_FORK} -rss_limit_mb=2048 \
    -print_final_stats=1 $(dictionary "$target" build-fuzz) $(target_options "$target") \
    -artifact_prefix="$artifacts/" \
    "$finds" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  local runs per_second coverage
  runs=$(stat_of number_of_executed_units "$log")
  per_second=$(stat_of average_exec_per_sec "$log")
  coverage=$(grep -aoE '(INITED|DONE|NEW|pulse|REDUCE) +cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | sed -E 's/.*(cov: .*)/\1/' || true)
  if [ -n "${FUZZ_FORK:-}" ]; then
    # a forked run prints no final stats: its last line of progress, "#RUNS: cov: C ft: F ... time: Ts"
    local last
    last=$(grep -aE '^#[0-9]+: cov: ' "$log" | tail -1 || true)
    runs=$(sed -nE 's/^#([0-9]+):.*/\1/p' <<<"$last")
    per_second=$(sed -nE 's/.* time: ([0-9]+)s.*/\1/p' <<<"$last" | awk -v runs="${runs:-0}" '$1 > 0 { printf "%d", runs / $1 }')
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' <<<"$last" || true)
  fi
  printf '%-14s %4s s %10s runs %7s a second   %-18s %s new   load %s\n' "$target" "$seconds" "${runs:-?}" \
    "${per_second:-?}" "${coverage:-cov: ?}" "$(stat_of new_units_added "$log")" "$(cut -d' ' -f1-3 /proc/loadavg)"
  if [ "$status" -ne 0 ]; then
    grep -aE '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written|INFO: libFuzzer disabled)' "$log" >&2 || true
    echo "$target failed ($status): see $log" >&2
  fi
  return "$status"
}

run() {
  configure build-fuzz
  echo "== each target ${seconds} s from fuzz/corpus/ (load average $(cut -d' ' -f1-3 /proc/loadavg))"
  local failed=0 running=0
  for target in "${targets[@]}"; do
    if [ "$running" -ge "$parallel" ]; then
      wait -n || failed=1
      running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
  done
  while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
  done
  return "$failed"
}

merge_target() {
  local target=$1
  local kept=fuzz/corpus/$target finds=build-fuzz/corpus/$target out=build-fuzz/merge/$target
  mkdir -p "$kept" "$finds"
  # an input that crashed stays for good, by its artifact's name
  for file in build-fuzz/artifacts/"$target"/{crash,leak,timeout,oom}-*; do
    [ -f "$file" ] && [ ! -f "$kept/$(basename "$file")" ] && cp "$file" "$kept/" && echo "$target: kept $(basename "$file")"
  done
  local before_files before_bytes
  before_files=$(find "$kept" -type f | wc -l)
  before_bytes=$(bytes_in "$kept")
  # the inputs kept by name come first, so the merge adds only what they do not already reach
  rm -rf "$out" && mkdir -p "$out"
  for file in "$kept"/*; do
    [ -f "$file" ] && ! is_minimised "$file" && cp "$file" "$out/"
  done
  build-fuzz/bin/"${target}_fuzz" -merge=1 -rss_limit_mb=2048 "$out" "$kept" "$finds" >"build-fuzz/$target.merge.log" 2>&1 || {
    echo "$target: the merge failed: see build-fuzz/$target.merge.log" >&2
    return 1
  }
  for file in "$kept"/*; do
    [ -f "$file" ] && is_minimised "$file" && rm "$file"
  done
  for file in "$out"/*; do
    [ -f "$file" ] && is_minimised "$file" && cp "$file" "$kept/"
  done
  rm -rf "$finds" && mkdir -p "$finds"
  printf '%-14s %5d files %9d bytes -> %5d files %9d bytes\n' "$target" "$before_files" "$before_bytes" \
    "$(find "$kept" -type f | wc -l)" "$(bytes_in "$kept")"
}

merge() {
  configure build-fuzz
  echo "== build-fuzz/corpus/ folded into fuzz/corpus/"
  for target in "${targets[@]}"; do merge_target "$target"; done
}

# The files the report covers: the readers, the element table, the document reader, the script,
# the writers, and the collections' ranges, templates and records.
report_files=(source/mol2loader.cpp source/linereader.cpp source/moleculefile.cpp source/elementtable.cpp
  host/src/documents/documentfile.cpp host/src/documents/storedblock.cpp host/src/script/script.cpp
  host/src/description/parametertext.cpp host/src/export/plainmodelbuild.cpp host/src/export/gltflayout.cpp
  host/src/export/gltfwrite.cpp host/src/export/usd.cpp host/src/export/usdwrite.cpp host/src/export/usdz.cpp
  host/src/collections/records.cpp host/src/collections/templates.cpp)

# llvm-profdata and llvm-cov of the clang that builds, by its major version when there are several.
llvm_tool() {
  local major
  major=$(clang++ --version | sed -nE 's/.*clang version ([0-9]+).*/\1/p' | head -1)
  if command -v "$1-$major" >/dev/null; then echo "$1-$major"; else echo "$1"; fi
}

coverage() {
  local folder=build-fuzz-coverage
  configure "$folder" -DVANTOR_FUZZ_COVERAGE=ON
  local profiles=$folder/profiles
  rm -rf "$profiles" && mkdir -p "$profiles"
  local objects=()
  for target in "${targets[@]}"; do
    # every input once, no fuzzing; each instrumented image (the module too) writes its own profile
    LLVM_PROFILE_FILE="$profiles/$target-%m.profraw" "$folder/bin/${target}_fuzz" -runs=0 "fuzz/corpus/$target" \
      >"$folder/$target.log" 2>&1 || { echo "$target: the replay failed: see $folder/$target.log" >&2; return 1; }
    objects+=(-object "$folder/bin/${target}_fuzz")
  done
  [[ " ${targets[*]} " == *" script "* ]] && objects+=(-object "$folder/plugins/vantor/vantor.so")
  # (source/main.cpp is built into several binaries with different settings: llvm warns of that)
  local cov log=$folder/llvm.log
  cov=$(llvm_tool llvm-cov)
  if ! "$(llvm_tool llvm-profdata)" merge -sparse "$profiles"/*.profraw -o "$folder/fuzz.profdata" 2>"$log" ||
    ! "$cov" show -format=html -output-dir="$folder/report" -instr-profile="$folder/fuzz.profdata" "${objects[@]:1}" \
      "${report_files[@]}" 2>>"$log" >/dev/null; then
    cat "$log" >&2
    return 1
  fi
  echo "== line coverage of the kept corpus (${targets[*]}); line by line: $folder/report/index.html"
  printf '%-34s %7s %7s %8s\n' file lines missed covered
  "$cov" report -instr-profile="$folder/fuzz.profdata" "${objects[@]:1}" "${report_files[@]}" 2>>"$log" |
    awk -v root="$PWD/" '$1 ~ /\.cpp$/ { sub(root, "", $1); printf "%-34s %7s %7s %8s\n", $1, $8, $9, $10 }'
}

case "$mode" in
  run) run ;;
  merge) merge ;;
  coverage) coverage ;;
esac
