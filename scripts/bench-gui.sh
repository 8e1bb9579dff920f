#!/usr/bin/env bash
# The Windows program's figures under Wine (bench/bench_gui.cpp): start to
# main window, Connect to "Connection established.", private memory and CPU
# while connected and idle, and the stripped size. Uses the test command's
# builds (build/win32, or build/win64 where the host cannot run 32-bit
# programs, configured with VORLANT_BENCH=ON, build/native's
# simulator); takes about a minute on a private Xvfb display.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# The flavour this host runs (scripts/wine-flavour.sh; VORLANT_WINE_ARCH
# overrides): the 32-bit program, else the 64-bit build.
# shellcheck source=scripts/wine-flavour.sh
. "$ROOT/scripts/wine-flavour.sh"
wine_flavour_pick || exit 1
echo "bench-gui: $WINE_FLAVOUR_WHY"
WIN="$ROOT/build/$WINE_FLAVOUR"
BENCH="$WIN/bench/bench_gui.exe"
[ -x "$BENCH" ] || { echo "bench-gui: build $BENCH first (scripts/test-all.sh native $WINE_FLAVOUR)" >&2; exit 1; }
case $WINE_FLAVOUR in
win32) STRIP=i686-w64-mingw32-strip ;;
win64) STRIP=x86_64-w64-mingw32-strip ;;
esac
"$WIN/wine-run.sh" --prepare >/dev/null
out=$(mktemp)
xvfb-run -a -s "-screen 0 1280x1024x24" env VORLANT_GUI_EXE="$WIN/app/vorlant.exe" VORLANT_E2E_PORT=5 \
  VORLANT_SIM="$ROOT/build/native/tools/simulator/vorlant-sim" VORLANT_WINE_RUN="$WIN/wine-run.sh" \
  bash "$ROOT/cmake/wine-with-sim.sh" class5 COM5 "$BENCH" >"$out" 2>/dev/null &
bench=$!
# While the program is connected and idle, the host's view of its process
# (Wine's own work for it included): CPU time and private memory.
idle() { # mode
  while ! grep -q "^IDLE $1" "$out" 2>/dev/null; do
    kill -0 "$bench" 2>/dev/null || return 1
    sleep 0.2
  done
  local seconds pid t0 t1
  seconds=$(sed -n "s/^IDLE $1 //p" "$out" | tr -d '\r')
  pid=$(pgrep -n -f 'vorlant\.exe') || return 1
  t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  awk -v d="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v m="$1" \
    -v p="$(awk '/^Private_(Clean|Dirty):/ {kb += $2} END {print kb}' "/proc/$pid/smaps_rollup")" \
    -v r="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")" 'BEGIN {
    printf "connected and idle, mouse %s (%d s): CPU %.3f %% of a core; private %.1f MB, resident %.1f MB (the Wine process)\n",
      (m == "away" ? "away from the window" : "resting on a button"), s, 100 * d / hz / s, p / 1024, r / 1024 }'
}
idle away || true
idle hover || true
wait "$bench" || { cat "$out"; echo "bench-gui: the run failed" >&2; exit 1; }
grep -v '^IDLE' "$out" | tr -d '\r'
rm -f "$out"
stripped=$(mktemp)
"$STRIP" -o "$stripped" "$WIN/app/vorlant.exe"
echo "vorlant.exe: $(stat -c %s "$WIN/app/vorlant.exe") bytes, stripped $(stat -c %s "$stripped") bytes"
rm -f "$stripped"
"$WIN/wine-run.sh" --stop >/dev/null 2>&1 || true
