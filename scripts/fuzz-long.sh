#!/usr/bin/env bash
# Long fuzzing: every libFuzzer harness in turn, for a given time each.
#
#   scripts/fuzz-long.sh [SECONDS_PER_HARNESS]     (default 600)
#
# Builds the clang fuzz flavour first (into VORLANT_FUZZ_BUILD, default
# build/fuzz-long, so it never disturbs the test command's build/fuzz),
# then runs each fuzz_* program over its seed corpus fuzz/corpus/<name>/ and
# a working corpus in the build folder (new inputs go there; the checked-in
# corpus is only read). Findings (crash-, leak-, timeout-, oom- files) are
# kept in <build>/artifacts/<name>/, logs in <build>/logs/.
#
# Prints one line per harness (runs, coverage, corpus, findings) and a
# summary; exits non-zero if any harness found something or failed to run.
# Environment: VORLANT_FUZZ_BUILD, VORLANT_JOBS (build jobs, default 2).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
SECONDS_EACH=${1:-600}
BUILD=${VORLANT_FUZZ_BUILD:-$ROOT/build/fuzz-long}
JOBS=${VORLANT_JOBS:-2}

[[ "$SECONDS_EACH" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz-long: seconds must be a positive number" >&2; exit 2; }
command -v clang++ >/dev/null 2>&1 || { echo "fuzz-long: clang++ not found (scripts/setup.sh installs it)" >&2; exit 2; }

mkdir -p "$BUILD/logs"
echo "fuzz-long: building the fuzz flavour in $BUILD"
CC=clang CXX=clang++ cmake -G Ninja -S "$ROOT" -B "$BUILD" -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVORLANT_FUZZ=ON -DVORLANT_TESTS=OFF \
  >"$BUILD/logs/configure.log" 2>&1 || { tail -n 30 "$BUILD/logs/configure.log"; exit 1; }
ninja -C "$BUILD" -j"$JOBS" >"$BUILD/logs/build.log" 2>&1 || { tail -n 40 "$BUILD/logs/build.log"; exit 1; }

# Sanitizer runtimes of this toolchain cannot cope with the address-space
# randomisation of newer kernels (more than 28 bits).
NORAND=()
rnd_bits=$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)
if [ "$rnd_bits" -gt 28 ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  NORAND=(setarch "$(uname -m)" -R)
fi

stat_of() { # LOG NAME: a final statistic of libFuzzer (-print_final_stats)
  grep -m1 -o "stat::$2: *[0-9]*" "$1" | grep -o '[0-9]*$' || echo '?'
}

harnesses=()
while IFS= read -r f; do harnesses+=("$f"); done < <(
  find "$BUILD/fuzz" -maxdepth 1 -type f -perm -u+x -name 'fuzz_*' | sort)
[ ${#harnesses[@]} -gt 0 ] || { echo "fuzz-long: no fuzz_* programs were built" >&2; exit 1; }

bad=0
lines=()
for exe in "${harnesses[@]}"; do
  name=$(basename "$exe")
  work="$BUILD/corpus-work/$name"
  art="$BUILD/artifacts/$name"
  log="$BUILD/logs/$name.log"
  mkdir -p "$work" "$art"
  seeds=()
  [ -d "$ROOT/fuzz/corpus/$name" ] && seeds=("$ROOT/fuzz/corpus/$name")
  echo "fuzz-long: $name for ${SECONDS_EACH}s ($(date '+%H:%M:%S'))"
  before=$(find "$art" -type f | wc -l)
  start=$(date +%s)
  rc=0
  "${NORAND[@]}" "$exe" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$art/" "$work" "${seeds[@]}" >"$log" 2>&1 || rc=$?
  findings=$(($(find "$art" -type f | wc -l) - before))
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*' || echo '?')
  line=$(printf '%-20s %6ss  runs %-12s cov %-6s corpus %-6s findings %s' "$name" "$(($(date +%s) - start))" \
    "$(stat_of "$log" number_of_executed_units)" "$cov" "$(find "$work" -type f | wc -l)" "$findings")
  if [ $rc -ne 0 ] || [ "$findings" -ne 0 ]; then
    line="$line  FAILED (exit $rc; see $log and $art)"
    bad=1
  fi
  lines+=("$line")
  echo "    $line"
done

echo
echo "fuzz-long summary (${SECONDS_EACH}s per harness):"
printf '    %s\n' "${lines[@]}"
exit $bad
