#!/usr/bin/env bash
# Screenshots of the Windows program for docs/screenshots/, from the test
# command's builds (build/win32, or build/win64 on a host that cannot run
# 32-bit programs, and the simulator of build/native; run
# scripts/test-all.sh native win32 win64 first):
#
#   scripts/screenshots.sh
#
# Runs the program under Wine on a private Xvfb display against the
# simulator (class 5), in a Wine prefix of its own per DPI (96 and 144), so
# the test prefix keeps its settings. Writes at 96 DPI main-disconnected,
# main-connected, gear-ratio, advanced-settings and about; at 144 DPI
# main-connected-144dpi and about-144dpi. It also lists, for each DPI, every
# text that does not fit its control (build/screenshots/text-fit-<dpi>.txt).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# The flavour this host runs (scripts/wine-flavour.sh; VORLANT_WINE_ARCH
# overrides): the 32-bit program, else the 64-bit build of the same sources.
# shellcheck source=scripts/wine-flavour.sh
. "$ROOT/scripts/wine-flavour.sh"
wine_flavour_pick || exit 1
echo "screenshots: $WINE_FLAVOUR_WHY"
WIN="$ROOT/build/$WINE_FLAVOUR"
SIM="$ROOT/build/native/tools/simulator/vorlant-sim"
WORK="$ROOT/build/screenshots"
OUT="$ROOT/docs/screenshots"
WRAP="$WIN/wine-run.sh"
GUI="$WIN/tests/gui/gui_tests.exe"
UI="$WIN/tests/ui/ui_win32_tests.exe"

die() {
  echo "screenshots: $*" >&2
  exit 1
}
for f in "$WRAP" "$GUI" "$UI" "$WIN/app/vorlant.exe" "$SIM"; do
  [ -e "$f" ] || die "missing $f (build with scripts/test-all.sh native $WINE_FLAVOUR)"
done
command -v convert >/dev/null || die "ImageMagick's convert is missing (scripts/setup.sh installs it)"
mkdir -p "$WORK" "$OUT"

shoot() { # dpi
  local dpi=$1 dir="$WORK/$1"
  export VORLANT_WINEPREFIX="$WORK/prefix-$dpi"
  rm -rf "$dir"
  mkdir -p "$dir"
  "$WRAP" --prepare >/dev/null
  "$WRAP" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # No window manager on Xvfb: Wine draws the frames and captions itself.
  "$WRAP" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  "$WRAP" --stop >/dev/null 2>&1 || true
  "$WRAP" --prepare >/dev/null
  echo "==> $dpi DPI"
  xvfb-run -a -s "-screen 0 1600x1200x24" env VORLANT_SCREENSHOT_DIR="$dir" \
    VORLANT_GUI_EXE="$WIN/app/vorlant.exe" VORLANT_E2E_PROFILE=class5 VORLANT_E2E_PORT=5 \
    VORLANT_GUI_SIM_LOG="$dir/sim.log" VORLANT_SIM="$SIM" VORLANT_SIM_ARGS="--log $dir/sim.log" \
    VORLANT_WINE_RUN="$WRAP" \
    bash "$ROOT/cmake/wine-with-sim.sh" class5 COM5 "$GUI" --gtest_filter=Gui.Class5Screenshots \
    >"$dir/shots.log" 2>&1 || {
    tail -n 30 "$dir/shots.log" >&2
    die "the screenshot run failed at $dpi DPI (log: $dir/shots.log)"
  }
  xvfb-run -a "$WRAP" "$UI" --gtest_filter=Win32Front.EveryTextFitsItsControl >"$dir/fit.log" 2>&1 || true
  grep 'does not fit' "$dir/fit.log" >"$WORK/text-fit-$dpi.txt" || true
  "$WRAP" --stop >/dev/null 2>&1 || true
}

shoot 96
shoot 144
for name in main-disconnected main-connected gear-ratio advanced-settings about; do
  convert "$WORK/96/$name.bmp" "$OUT/$name.png"
done
convert "$WORK/144/main-connected.bmp" "$OUT/main-connected-144dpi.png"
convert "$WORK/144/about.bmp" "$OUT/about-144dpi.png"
for dpi in 96 144; do
  n=$(wc -l <"$WORK/text-fit-$dpi.txt")
  echo "    $dpi DPI: $n text(s) that do not fit (build/screenshots/text-fit-$dpi.txt)"
  sed 's/^/      /' "$WORK/text-fit-$dpi.txt"
done
echo "==> screenshots in $OUT"
