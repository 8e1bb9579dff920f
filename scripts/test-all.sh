#!/usr/bin/env bash
# Builds and tests everything: the single test command of the project.
#
#   scripts/test-all.sh [STAGE...]
#
# Stages (all by default, in this order; each has its own folder under build/):
#   native  gcc, RelWithDebInfo, benchmarks compiled; all tests
#   asan    clang with AddressSanitizer + UndefinedBehaviorSanitizer; all tests
#           (the tree stays warning-free under clang as under gcc)
#   tsan    gcc with ThreadSanitizer; the tests labelled "threaded"
#   win32   32-bit Windows (mingw-w64), the product: built and packaged;
#           all tests under Wine where this host can run 32-bit programs,
#           end-to-end tests against the native build's simulator (so
#           native runs first)
#   win64   64-bit Windows build of the same sources: built and packaged;
#           all tests under 64-bit Wine where the host cannot run 32-bit
#           programs (scripts/wine-flavour.sh decides, VORLANT_WINE_ARCH=
#           win32|win64 overrides)
#   fuzz    clang + libFuzzer: every fuzz_* harness for a bounded time over its
#           corpus fuzz/corpus/<name>/ (skipped without clang or fuzz/CMakeLists.txt)
# Installs missing packages first (scripts/setup.sh). Every stage runs even
# when an earlier one failed; the exit code is non-zero if any stage failed.
# Logs: build/logs/. Environment: VORLANT_FUZZ_SECONDS (default 20) per
# harness, VORLANT_JOBS (default 2) for building and testing.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$ROOT/build"
LOGS="$BUILD/logs"
JOBS=${VORLANT_JOBS:-2}
FUZZ_SECONDS=${VORLANT_FUZZ_SECONDS:-20}
ALL_STAGES=(native asan tsan win32 win64 fuzz)

say() { printf '\n==> %s\n' "$*"; }
note() { printf '    %s\n' "$*"; }
# step_begin TEXT / step_end: one progress line with the step's duration.
step_begin() {
  step_start=$(date +%s)
  printf '    %s ...' "$*"
}
step_end() { printf ' %ss\n' "$(($(date +%s) - step_start))"; }
step_fail() { printf ' FAILED after %ss\n' "$(($(date +%s) - step_start))"; }

stages=()
if [ $# -eq 0 ]; then
  stages=("${ALL_STAGES[@]}")
else
  for s in "$@"; do
    case " ${ALL_STAGES[*]} " in
    *" $s "*) stages+=("$s") ;;
    *)
      echo "test-all: unknown stage '$s' (stages: ${ALL_STAGES[*]})" >&2
      exit 2
      ;;
    esac
  done
fi

summary=()
failed=0
record() { # stage result seconds
  summary+=("$(printf '%-8s %-36s %5ss' "$1" "$2" "$3")")
  case "$2" in PASS* | SKIP*) ;; *) failed=1 ;; esac
}

cleanup() {
  # The Windows stages' Wine servers (and the prefixes' services) must not
  # outlive the run.
  local w
  for w in win32 win64; do
    if [ -x "$BUILD/$w/wine-run.sh" ]; then
      "$BUILD/$w/wine-run.sh" --stop || true
    fi
  done
}
trap cleanup EXIT

# Sanitizer runtimes of this toolchain cannot cope with the address-space
# randomisation of newer kernels (more than 28 bits); run their programs with
# randomisation off there.
NORAND=()
rnd_bits=$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)
if [ "$rnd_bits" -gt 28 ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  NORAND=(setarch "$(uname -m)" -R)
fi

# show_log FILE: the end of a failed step's log.
show_log() {
  echo "---- last lines of $1 ----"
  tail -n 60 "$1"
  echo "---- (full log: $1)"
}

# configure NAME ARGS...: (re)configure build/NAME quietly.
configure() {
  local name=$1 dir="$BUILD/$1"
  shift
  # A cache from another checkout or generator cannot be reused.
  if [ -f "$dir/CMakeCache.txt" ]; then
    local home gen
    home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$dir/CMakeCache.txt")
    gen=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$dir/CMakeCache.txt")
    if [ "$home" != "$ROOT" ] || [ "$gen" != Ninja ]; then
      note "removing $dir (configured for another tree or generator)"
      rm -rf "$dir"
    fi
  fi
  step_begin "configure build/$name"
  # The flavour's settings are its preset in CMakePresets.json.
  if ! (cd "$ROOT" && cmake --preset "$name" -Wno-dev "$@") >"$LOGS/$name-configure.log" 2>&1; then
    step_fail
    show_log "$LOGS/$name-configure.log"
    return 1
  fi
  step_end
}

# build NAME [TARGETS...]
build() {
  local name=$1
  shift
  step_begin "build build/$name${1:+ $*}"
  if ! "${PREFIX_CMD[@]}" ninja -C "$BUILD/$name" -j"$JOBS" -k 0 "$@" >"$LOGS/$name-build.log" 2>&1; then
    step_fail
    # The failed steps with the compiler's messages, else the log's end.
    if grep -q '^FAILED:' "$LOGS/$name-build.log"; then
      grep -E -A14 '^FAILED:' "$LOGS/$name-build.log" | head -n 150
      echo "---- (full log: $LOGS/$name-build.log)"
    else
      show_log "$LOGS/$name-build.log"
    fi
    return 1
  fi
  step_end
}

# run_ctest NAME [CTEST ARGS...]: passing tests are listed only in the log.
run_ctest() {
  local name=$1 rc=0
  shift
  step_begin "test build/$name"
  (cd "$ROOT" && "${PREFIX_CMD[@]}" ctest --preset "$name" -j"$JOBS" "$@") \
    >"$LOGS/$name-test.log" 2>&1 || rc=$?
  if [ $rc -eq 0 ]; then step_end; else step_fail; fi
  grep -v -E '^ +Start +[0-9]+: |Test +#[0-9]+: .* Passed +[0-9.]+ sec$|^Test project |^$|^Label Time Summary:|^[A-Za-z0-9_-]+ += +[0-9.]+ sec\*proc' \
    "$LOGS/$name-test.log" | sed 's/^/    /' || true
  return $rc
}

PREFIX_CMD=()

# result TEXT: a stage's outcome, its last line of output.
result() { echo "RESULT: $*"; }

stage_native() {
  configure native || { result "CONFIGURE FAILED"; return; }
  build native || { result "BUILD FAILED"; return; }
  run_ctest native || { result "TESTS FAILED"; return; }
  result PASS
}

stage_asan() {
  export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  PREFIX_CMD=("${NORAND[@]}")
  configure asan || { result "CONFIGURE FAILED"; return; }
  build asan || { result "BUILD FAILED"; return; }
  run_ctest asan || { result "TESTS FAILED"; return; }
  result PASS
}

stage_tsan() {
  export TSAN_OPTIONS=second_deadlock_stack=1
  PREFIX_CMD=("${NORAND[@]}")
  configure tsan || { result "CONFIGURE FAILED"; return; }
  build tsan || { result "BUILD FAILED"; return; }
  run_ctest tsan || { result "TESTS FAILED"; return; }
  result PASS
}

# stage_windows NAME: builds and packages the Windows flavour NAME (win32 or
# win64); runs its tests under Wine when it is the flavour this host runs.
stage_windows() {
  local name=$1 tools="$BUILD/native/tools" zip
  [ -d "$tools" ] || note "no native build: the end-to-end tests under Wine will fail"
  configure "$name" || { result "CONFIGURE FAILED"; return; }
  build "$name" || { result "BUILD FAILED"; return; }
  build "$name" package || { result "PACKAGE FAILED"; return; }
  zip="$BUILD/$name/vorlant-2.4-$name.zip"
  if ! out=$(python3 "$ROOT/scripts/check-package.py" "$zip" "$name" 2>&1); then
    note "$out"
    result "PACKAGE FAILED"
    return
  fi
  note "package: ${zip#"$ROOT"/} ($out)"
  if [ "$name" != "$WINE_FLAVOUR" ]; then
    note "tests: not run on this flavour (they run on the $WINE_FLAVOUR build)"
    result "PASS (built and packaged)"
    return
  fi
  run_ctest "$name" || { result "TESTS FAILED ($(ctest_count "$name"))"; return; }
  result "PASS ($(ctest_count "$name") under $name Wine)"
}

# ctest_count NAME: "N tests" from the last test log of build/NAME.
ctest_count() {
  local n
  n=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$LOGS/$1-test.log" | tail -n 1)
  echo "${n:-?} tests"
}

stage_win32() { stage_windows win32; }
stage_win64() { stage_windows win64; }

stage_fuzz() {
  if [ ! -f "$ROOT/fuzz/CMakeLists.txt" ]; then
    note "fuzz/CMakeLists.txt does not exist yet"
    result "SKIP (no fuzz harnesses)"
    return
  fi
  if ! command -v clang++ >/dev/null 2>&1; then
    note "clang++ not found"
    result "SKIP (no clang)"
    return
  fi
  PREFIX_CMD=("${NORAND[@]}")
  CC=clang CXX=clang++ configure fuzz || { result "CONFIGURE FAILED"; return; }
  build fuzz || { result "BUILD FAILED"; return; }

  local harnesses=() f
  while IFS= read -r f; do harnesses+=("$f"); done < <(
    find "$BUILD/fuzz" -path "$BUILD/fuzz/CMakeFiles" -prune -o \
      -type f -perm -u+x -name 'fuzz_*' -print | sort)
  if [ ${#harnesses[@]} -eq 0 ]; then
    note "no fuzz_* programs were built"
    result "FAILED (no harnesses)"
    return
  fi

  local bad=0 exe name corpus work art start
  for exe in "${harnesses[@]}"; do
    name=$(basename "$exe")
    # New inputs go to a working corpus in the build folder; the checked-in
    # corpus is only read.
    work="$BUILD/fuzz/corpus-work/$name"
    art="$BUILD/fuzz/artifacts/$name"
    mkdir -p "$work" "$art"
    corpus=()
    for c in "$ROOT/fuzz/corpus/$name" "$ROOT/fuzz/corpus/${name#fuzz_}"; do
      [ -d "$c" ] && corpus+=("$c") && break
    done
    start=$(date +%s)
    if "${PREFIX_CMD[@]}" "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$art/" "$work" "${corpus[@]}" \
      >"$LOGS/$name.log" 2>&1; then
      note "$name: ok in $(($(date +%s) - start))s ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$LOGS/$name.log" | grep -o '[0-9]*$' || echo '?') runs${corpus:+, corpus ${corpus[0]#"$ROOT"/}})"
    else
      note "$name: FAILED (inputs kept in ${art#"$ROOT"/})"
      show_log "$LOGS/$name.log"
      bad=1
    fi
  done
  if [ $bad -eq 0 ]; then result PASS; else result "FAILED (fuzzing)"; fi
}

# run_stage NAME: runs stage_NAME in a subshell (its exports stay there),
# shows its output and records its result (its RESULT: line).
run_stage() {
  local name=$1 start res out
  say "$name"
  start=$(date +%s)
  out="$LOGS/$name-stage.out"
  ("stage_$name") 2>&1 | tee "$out" | grep --line-buffered -v '^RESULT: ' || true
  res=$(sed -n 's/^RESULT: //p' "$out" | tail -n 1)
  record "$name" "${res:-FAILED}" "$(($(date +%s) - start))"
  printf '    %s: %s\n' "$name" "${res:-FAILED}"
}

total_start=$(date +%s)
mkdir -p "$LOGS"

say "setup"
start=$(date +%s)
if bash "$ROOT/scripts/setup.sh"; then
  record setup PASS "$(($(date +%s) - start))"
else
  record setup FAILED "$(($(date +%s) - start))"
  echo "test-all: setup failed; nothing can be built" >&2
  exit 1
fi

# Which Windows flavour runs the Windows tests: decided once, said in one line.
WINE_FLAVOUR=""
case " ${stages[*]} " in
*" win32 "* | *" win64 "*)
  # shellcheck source=scripts/wine-flavour.sh
  . "$ROOT/scripts/wine-flavour.sh"
  if ! wine_flavour_pick; then
    echo "test-all: no Windows flavour can run here; nothing was built" >&2
    exit 2
  fi
  say "windows flavour"
  note "$WINE_FLAVOUR_WHY"
  ;;
esac

for s in "${stages[@]}"; do
  run_stage "$s"
done

say "summary"
printf '    %s\n' "${summary[@]}"
printf '    %-8s %-36s %5ss\n' total "$([ $failed -eq 0 ] && echo PASS || echo FAILED)" "$(($(date +%s) - total_start))"
exit $failed
