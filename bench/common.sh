# Shared parts of the measurement scripts (sourced, not run).
#
# BENCH_BUILD   the release build to measure (default build/release; made with
#               `cmake --preset release && cmake --build --preset release`
#               when missing, otherwise configured like it)
# BENCH_RUNS    timed runs per side (each script has its own default)
# BENCH_RESULTS when set, each script appends one tab-separated line to it:
#               figure, ours, baseline, unit, ratio-or-difference, goal, verdict

set -uo pipefail

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_build=${BENCH_BUILD:-$bench_root/build/release}
case $bench_build in /*) ;; *) bench_build=$bench_root/$bench_build ;; esac

bench_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Builds what the measurements run: a missing build folder is configured and
# built whole, as the release preset does; the targets named are then
# brought up to date.
bench_ensure_build() {
  if [ ! -f "$bench_build/build.ninja" ]; then
    if [ "$bench_build" = "$bench_root/build/release" ]; then
      mkdir -p "$bench_root/build" &&
        (cd "$bench_root" && cmake --preset release && cmake --build --preset release) \
          >"$bench_root/build/release.bench-build.log" 2>&1
    else
      mkdir -p "$bench_build" &&
        cmake -S "$bench_root" -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DBRISA_BUILD_TESTS=OFF -DBRISA_SANITIZE=OFF >"$bench_build.configure.log" 2>&1 &&
        cmake --build "$bench_build" >>"$bench_build.configure.log" 2>&1
    fi || bench_die "configuring and building $bench_build failed"
  fi
  cmake --build "$bench_build" --target "$@" >"$bench_build/bench-build.log" 2>&1 || {
    tail -n 30 "$bench_build/bench-build.log" >&2
    bench_die "building $* in $bench_build failed"
  }
}

# A scratch folder removed when the script ends.
bench_scratch() {
  bench_tmp=$(mktemp -d "${TMPDIR:-/tmp}/brisa-bench.XXXXXX")
  trap 'bench_cleanup' EXIT
}
bench_cleanup_hooks=()
bench_cleanup() {
  local hook
  for hook in "${bench_cleanup_hooks[@]}"; do eval "$hook"; done
  [ -n "${bench_tmp:-}" ] && rm -rf "$bench_tmp"
}

bench_now() { date +%s%N; }

# The median of the numbers given.
bench_median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "nan"; exit }
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# bench_time RUNS PREPARE COMMAND: the median wall time of COMMAND in
# milliseconds over RUNS runs; PREPARE (may be ":") runs untimed before each.
# Uses hyperfine when it is installed. A failing run ends the script.
bench_time() {
  local runs=$1 prepare=$2 command=$3
  if command -v hyperfine >/dev/null 2>&1 && [ -z "${BENCH_NO_HYPERFINE:-}" ]; then
    local json=$bench_tmp/hyperfine.json
    hyperfine --style none --runs "$runs" --warmup 1 --prepare "$prepare" \
      --export-json "$json" "$command" >/dev/null 2>"$bench_tmp/hyperfine.err" ||
      { cat "$bench_tmp/hyperfine.err" >&2; bench_die "failed: $command"; }
    local seconds
    seconds=$(grep -o '"median": *[0-9.eE+-]*' "$json" | head -n 1 | sed 's/.*: *//')
    awk -v s="$seconds" 'BEGIN { printf "%.1f\n", s * 1000 }'
    return
  fi
  local times=() i start end
  eval "$prepare" >/dev/null 2>&1
  eval "$command" >/dev/null 2>&1 || bench_die "failed: $command" # warm-up
  for ((i = 0; i < runs; i++)); do
    eval "$prepare" >/dev/null 2>&1
    start=$(bench_now)
    eval "$command" >/dev/null 2>&1 || bench_die "failed: $command"
    end=$(bench_now)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')")
  done
  bench_median "${times[@]}"
}

# bench_report FIGURE OURS BASELINE UNIT GOAL: prints the result line with
# the ratio ours / baseline and whether it meets GOAL (a ratio).
bench_report() {
  local figure=$1 ours=$2 baseline=$3 unit=$4 goal=$5 ratio verdict
  ratio=$(awk -v a="$ours" -v b="$baseline" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "nan" }')
  verdict=$(awk -v r="$ratio" -v g="$goal" 'BEGIN { print (r != "nan" && r <= g) ? "met" : "MISSED" }')
  printf '%s: ours %s %s, baseline %s %s, ratio %sx (goal <= %sx) %s\n' \
    "$figure" "$ours" "$unit" "$baseline" "$unit" "$ratio" "$goal" "$verdict"
  [ -n "${BENCH_RESULTS:-}" ] &&
    printf '%s\t%s\t%s\t%s\t%sx\t<= %sx\t%s\n' "$figure" "$ours" "$baseline" "$unit" "$ratio" "$goal" "$verdict" >>"$BENCH_RESULTS"
  return 0
}
