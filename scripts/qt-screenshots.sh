#!/usr/bin/env bash
# Screenshots of the Linux front for the documentation: the main window
# disconnected and connected to the simulator, and the gear ratio, advanced
# settings and About dialogs.
#
#   scripts/qt-screenshots.sh [OUTDIR]     default docs/screenshots
#
# Builds vorlant-qt and the simulator in build/native (VORLANT_NATIVE_BUILD
# overrides it) if needed, runs both on a private Xvfb display, clicks the
# buttons with xdotool (their places are the template's dialog units scaled
# by the window's size) and writes qt-disconnected.png, qt-connected.png,
# qt-gear-ratio.png, qt-advanced-settings.png and qt-about.png.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
NATIVE="${VORLANT_NATIVE_BUILD:-$ROOT/build/native}"
OUT=${1:-$ROOT/docs/screenshots}
WORK=$(mktemp -d)
TITLE="Vorlant 2.4. beta 2."
# The main dialog template's size in dialog units.
DLG_W=456
DLG_H=296

die() {
  printf 'qt-screenshots: ERROR: %s\n' "$*" >&2
  exit 1
}

if ! grep -q '^VORLANT_QT:BOOL=ON' "$NATIVE/CMakeCache.txt" 2>/dev/null; then
  cmake -G Ninja -S "$ROOT" -B "$NATIVE" -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANT_BENCH=ON \
    -DVORLANT_QT=ON >"$WORK/configure.log" 2>&1 || die "configuring $NATIVE failed"
fi
ninja -C "$NATIVE" -j2 vorlant-qt vorlant-sim >"$WORK/build.log" 2>&1 || {
  tail -n 30 "$WORK/build.log" >&2
  die "building failed"
}
mkdir -p "$OUT"

xvfb_pid="" sim_pid="" qt_pid=""
cleanup() {
  set +e
  for pid in $qt_pid $sim_pid $xvfb_pid; do
    kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

num=90
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
Xvfb ":$num" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$num"
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X$num" ] && break
  sleep 0.1
done

"$NATIVE/tools/simulator/vorlant-sim" --profile class5 </dev/null >"$WORK/sim.out" 2>&1 &
sim_pid=$!
pty=""
for _ in $(seq 1 50); do
  line=$(head -n 1 "$WORK/sim.out" 2>/dev/null || true)
  [[ "$line" == "PTY "* ]] && pty=${line#PTY } && break
  sleep 0.1
done
[ -n "$pty" ] || die "the simulator did not report its terminal"

VORLANT_EXTRA_PORTS="$pty" QT_QPA_PLATFORM=xcb "$NATIVE/app/vorlant-qt" </dev/null >"$WORK/qt.out" 2>&1 &
qt_pid=$!

# window TITLE: waits for the window titled exactly TITLE; prints its id.
window() {
  local wid=""
  for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --name "^${1//./\\.}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && echo "$wid" && return 0
    kill -0 "$qt_pid" 2>/dev/null || die "vorlant-qt ended: $(cat "$WORK/qt.out")"
    sleep 0.1
  done
  die "no window '$1'"
}
gone() {
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^${1//./\\.}\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  die "the window '$1' stayed open"
}
shot() { # shot WINDOW FILE
  sleep 0.5
  xwd -silent -id "$1" -display "$DISPLAY" | convert xwd:- "$OUT/$2"
  echo "$OUT/$2"
}
main=$(window "$TITLE")
eval "$(xdotool getwindowgeometry --shell "$main")"
# click X Y: a left click at dialog units X, Y of the main window. The
# window's menu bar sits above the template's controls, so Y counts from
# the bottom edge, in the horizontal scale (a dialog unit's two scales
# differ by about 1 % in the Qt front's font).
click() {
  xdotool mousemove --window "$main" $(($1 * WIDTH / DLG_W)) $((HEIGHT - (DLG_H - $2) * WIDTH / DLG_W)) click 1
}
# dialog TITLE FILE X Y: opens the dialog whose button is at X, Y, takes
# its picture and closes it with Escape.
dialog() {
  click "$3" "$4"
  local wid
  wid=$(window "$1")
  shot "$wid" "$2"
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool key Escape
  gone "$1"
}

shot "$main" qt-disconnected.png
click 183 11  # Connect
sleep 5       # the read-out takes about 2.6 s
click 357 11  # Measure supply voltage
sleep 1
shot "$main" qt-connected.png
dialog "Set gear ratio" qt-gear-ratio.png 405 50
dialog "Advanced settings" qt-advanced-settings.png 51 198
dialog "Vorlant 2.4" qt-about.png 283 11
