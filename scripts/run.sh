#!/usr/bin/env bash
# The main job: Vorlant (the Windows program, under Wine) connected to a
# controller.
#
#   scripts/run.sh                 against the bundled simulator: build, run,
#                                  connect, measure, screenshot
#   scripts/run.sh --port DEVICE   against a real controller on DEVICE (for
#                                  example /dev/ttyUSB0), which becomes COM1
#   scripts/run.sh --keep          leave the program open (the default on a
#                                  real display; close the window to finish)
#   scripts/run.sh --cli [...]     the command-line tool instead (run-cli.sh)
#   scripts/run.sh --linux         the native Linux front (vorlant-qt) instead
#                                  of the Windows program; --port and --keep
#                                  work with it too
#
# Installs missing packages (scripts/setup.sh), builds the program in
# build/win32 (on a host that cannot run 32-bit programs, or with
# VORLANT_WINE_ARCH=win64: the 64-bit build of the same sources in
# build/win64; scripts/wine-flavour.sh decides and the run says so) and the
# simulator in build/native, starts the simulator
# (vorlant-sim --profile class5) and makes its terminal COM1 of the build
# folder's Wine prefix, runs vorlant.exe under Wine (on your display, or on
# a private Xvfb display when there is none or under CI), presses "Connect",
# waits for the read-out, measures the supply voltage and saves a
# screenshot of the window to build/run/vorlant.png. On Xvfb the program is
# then closed. The simulator's log of every request and reply ends up in
# build/run/sim-windows.log. With --linux, vorlant-qt (built in build/native)
# runs natively with the simulator's terminal (or DEVICE) at the top of its
# port list, is driven the same way, and leaves build/run/vorlant-qt.png and
# build/run/sim-linux.log.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
NATIVE="${VORLANT_NATIVE_BUILD:-$ROOT/build/native}"
RUNDIR="$ROOT/build/run"
SIM="$NATIVE/tools/simulator/vorlant-sim"
SHOT="$RUNDIR/vorlant.png"
PROFILE=class5
TITLE="Vorlant 2.4. beta 2."
# Seconds for the whole read-out after "Connect" (class 5: seven exchanges,
# each paced by heartbeat ticks, plus the settling wait after opening).
READOUT_WAIT=${READOUT_WAIT:-6}

say() { printf '==> %s\n' "$*"; }
die() {
  printf 'run: ERROR: %s\n' "$*" >&2
  exit 1
}

keep=0
device=""
linux=0
if [ "${1:-}" = "--cli" ]; then
  shift
  exec bash "$ROOT/scripts/run-cli.sh" "$@"
fi
while [ $# -gt 0 ]; do
  case "$1" in
  --keep) keep=1 ;;
  --linux) linux=1 ;;
  --port)
    [ $# -ge 2 ] || die "--port needs a device"
    device=$2
    shift
    ;;
  --port=*) device=${1#--port=} ;;
  -h | --help)
    sed -n '3,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *) die "unknown option $1 (see --help)" ;;
  esac
  shift
done
if [ -n "$device" ]; then
  [ -e "$device" ] || die "no such device: $device"
  [ -r "$device" ] && [ -w "$device" ] ||
    die "no permission to use $device (membership of the 'dialout' group grants access to serial ports)"
fi
# On a real display the program stays open for the user.
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then keep=1; fi

# The Windows flavour this host runs (the 32-bit product, else the 64-bit
# build of the same sources), decided in one place.
if [ $linux -eq 0 ]; then
  # shellcheck source=scripts/wine-flavour.sh
  . "$ROOT/scripts/wine-flavour.sh"
  wine_flavour_pick || die "no Windows flavour can run here"
  say "$WINE_FLAVOUR_WHY"
  case $WINE_FLAVOUR in
  win32) TOOLCHAIN="$ROOT/cmake/toolchain-i686-mingw.cmake" ;;
  win64) TOOLCHAIN="$ROOT/cmake/toolchain-x86_64-mingw.cmake" ;;
  esac
  WIN="${VORLANT_WIN_BUILD:-$ROOT/build/$WINE_FLAVOUR}"
  EXE="$WIN/app/vorlant.exe"
  WRAP="$WIN/wine-run.sh"
fi

bash "$ROOT/scripts/setup.sh"

mkdir -p "$RUNDIR"
build() { # build DIR LOGNAME TARGET [cmake options...]
  local dir=$1 log=$2 target=$3
  shift 3
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -G Ninja -S "$ROOT" -B "$dir" -Wno-dev "$@" >"$RUNDIR/$log-configure.log" 2>&1 || {
      tail -n 40 "$RUNDIR/$log-configure.log" >&2
      die "configuring $dir failed (log: $RUNDIR/$log-configure.log)"
    }
  fi
  ninja -C "$dir" -j2 "$target" >"$RUNDIR/$log-build.log" 2>&1 || {
    grep -E -A14 '^FAILED:' "$RUNDIR/$log-build.log" | head -n 80 >&2 || tail -n 40 "$RUNDIR/$log-build.log" >&2
    die "building $target failed (log: $RUNDIR/$log-build.log)"
  }
}
# Same options as scripts/run-cli.sh and the native stage of scripts/test-all.sh.
say "building the simulator (build/native)"
build "$NATIVE" native vorlant-sim -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANT_BENCH=ON
if [ $linux -eq 1 ]; then
  # The Linux front needs the Qt option in the native build (test-all.sh
  # configures it so; an older folder gets it added).
  if ! grep -q '^VORLANT_QT:BOOL=ON' "$NATIVE/CMakeCache.txt" 2>/dev/null; then
    cmake -S "$ROOT" -B "$NATIVE" -DVORLANT_QT=ON >"$RUNDIR/native-qt-configure.log" 2>&1 ||
      die "configuring $NATIVE with -DVORLANT_QT=ON failed (log: $RUNDIR/native-qt-configure.log)"
  fi
  say "building the Linux program (build/native)"
  build "$NATIVE" native vorlant-qt
  QT_EXE="$NATIVE/app/vorlant-qt"
  [ -x "$QT_EXE" ] || die "no program at $QT_EXE"
else
  say "building the Windows program (${WIN#"$ROOT"/})"
  build "$WIN" "$WINE_FLAVOUR" vorlant -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DVORLANT_NATIVE_TOOLS_DIR="$NATIVE/tools"
  [ -f "$EXE" ] || die "no program at $EXE"
fi

# shellcheck source=cmake/sim-pty.sh
. "$ROOT/cmake/sim-pty.sh"
xvfb_pid=""
wine_pid=""
qt_pid=""
cleanup() {
  set +e
  if [ -n "$qt_pid" ] && kill -0 "$qt_pid" 2>/dev/null; then
    kill -TERM "$qt_pid" 2>/dev/null
    wait "$qt_pid" 2>/dev/null
  fi
  if [ -n "$wine_pid" ] && kill -0 "$wine_pid" 2>/dev/null; then
    "$WRAP" --stop >/dev/null 2>&1
    kill -TERM "$wine_pid" 2>/dev/null
    wait "$wine_pid" 2>/dev/null
  fi
  sim_stop
  wine_com_unlink
  if [ -n "$xvfb_pid" ]; then
    [ $linux -eq 1 ] || "$WRAP" --stop >/dev/null 2>&1  # Wine's server holds the display open
    kill -TERM "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A display: the caller's, or a private Xvfb on the first free number.
if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
  num=90
  while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
  say "starting Xvfb on :$num"
  Xvfb ":$num" -screen 0 1280x1024x24 -nolisten tcp >"$RUNDIR/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$num"
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$num" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start (log: $RUNDIR/xvfb.log)"
    sleep 0.1
  done
fi

# The controller: DEVICE, or the simulator on a terminal of its own.
# start_controller LOGNAME sets pty.
pty=""
start_controller() {
  local log=$1
  if [ -n "$device" ]; then
    pty=$device
    return
  fi
  say "starting the simulator: vorlant-sim --profile $PROFILE"
  sim_start "$SIM" "$PROFILE" "$RUNDIR/$log.out" "$RUNDIR/$log.err" --log "$RUNDIR/$log.log" || {
    cat "$RUNDIR/$log.err" >&2 || true
    die "the simulator did not report its terminal"
  }
  pty=$SIM_PTY
}

# Waits for the read-out, then for the voltage measurement, that follow a
# key press: with the simulator, until its log shows its last answer; with a
# real controller (no log), for READOUT_WAIT seconds.
wait_readout() { # LOGNAME
  if [ -n "$SIM_PID" ]; then
    sim_wait_log "$RUNDIR/$1.log" ReadLocation 20 || echo "    (no complete read-out in the simulator's log after 20 s)"
  else
    sleep "$READOUT_WAIT"
  fi
}
wait_voltage() { # LOGNAME
  if [ -n "$SIM_PID" ]; then
    sim_wait_log "$RUNDIR/$1.log" ReadSupplyVoltage 10 || echo "    (no voltage request in the simulator's log)"
  else
    sleep 2
  fi
}

# Waits for a top-level window titled TITLE of process PID; prints its id.
find_window() {
  local pid=$1 out=$2 name=$3 wid=""
  for _ in $(seq 1 150); do
    wid=$(xdotool search --onlyvisible --name "^${TITLE//./\\.}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    kill -0 "$pid" 2>/dev/null || {
      cat "$out" >&2
      die "$name ended before its window appeared"
    }
    sleep 0.2
  done
  [ -n "$wid" ] || die "the main window did not appear within 30 s"
  echo "$wid"
}

# The user's steps in either program's window WID, the simulator's log
# LOGNAME: the focus starts on the port list with its first entry chosen;
# two tab stops on are the baud box and "Connect", three after it "Measure
# supply voltage:". Then the screenshot SHOT.
connect_measure_shoot() { # WID LOGNAME
  local wid=$1 log=$2
  say "clicking Connect (keyboard: Tab, Tab, Space)"
  xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid" || true
  xdotool key --window "$wid" --delay 150 Tab Tab space
  wait_readout "$log"
  say "measuring the supply voltage (Tab, Tab, Tab, Space)"
  xdotool key --window "$wid" --delay 150 Tab Tab Tab space
  wait_voltage "$log"
  sleep 0.5  # the answer's display is drawn
  xwd -silent -id "$wid" -display "$DISPLAY" | convert xwd:- "$SHOT"
  say "screenshot: $SHOT"
  if [ -s "$RUNDIR/$log.log" ]; then
    echo "    simulator log (requests and replies): $RUNDIR/$log.log ($(wc -l <"$RUNDIR/$log.log") lines)"
  fi
}

if [ $linux -eq 1 ]; then
  start_controller sim-linux
  SHOT="$RUNDIR/vorlant-qt.png"
  say "starting vorlant-qt (port list: $pty first)"
  VORLANT_EXTRA_PORTS="$pty" QT_QPA_PLATFORM=xcb "$QT_EXE" </dev/null >"$RUNDIR/vorlant-qt.out" 2>&1 &
  qt_pid=$!
  wid=$(find_window "$qt_pid" "$RUNDIR/vorlant-qt.out" vorlant-qt)
  connect_measure_shoot "$wid" sim-linux
  if [ $keep -eq 1 ]; then
    say "the program stays open on $DISPLAY; close its window to finish"
    wait "$qt_pid" || true
    qt_pid=""
    exit 0
  fi
  say "closing the program"
  kill -TERM "$qt_pid" 2>/dev/null || true
  wait "$qt_pid" 2>/dev/null || true
  qt_pid=""
  say "done"
  exit 0
fi

say "preparing the $WINE_FLAVOUR Wine prefix"
# On failure the wrapper says which step failed and what Wine printed.
if ! prep=$("$WRAP" --prepare 2>&1); then
  printf '%s\n' "$prep" | grep -v '^wine-run: creating' >&2 || true
  die "the Wine prefix cannot be prepared ($WRAP --prepare)"
fi

start_controller sim-windows

# The prefix's services must be up before the link is made: the device
# manager re-creates the COM links of the host's serial ports when it
# starts, and would replace ours.
if ! out=$("$WRAP" cmd /c exit 0 </dev/null 2>&1); then
  printf '%s\n' "$out" | head -n 8 >&2
  die "Wine cannot run programs in $("$WRAP" --prefix)"
fi
# No window manager runs on our Xvfb: have Wine draw the frames and
# captions itself, so the screenshot shows the whole window. (A setting of
# the build folder's prefix only; on a desktop the window manager draws them.)
if [ -n "$xvfb_pid" ]; then
  "$WRAP" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1 || true
fi
wine_com_link "$("$WRAP" --prefix)" 1 "$pty"
echo "    controller on $pty = COM1"

say "starting vorlant.exe"
"$WRAP" "$EXE" </dev/null >"$RUNDIR/vorlant.out" 2>&1 &
wine_pid=$!
wid=$(find_window "$wine_pid" "$RUNDIR/vorlant.out" vorlant.exe)
# The screenshot shows the frame and caption that Wine draws.
connect_measure_shoot "$wid" sim-windows

if [ $keep -eq 1 ]; then
  say "the program stays open on $DISPLAY; close its window to finish"
  wait "$wine_pid" || true
  wine_pid=""
  exit 0
fi

say "closing the program"
xdotool key --window "$wid" alt+F4 || true
for _ in $(seq 1 50); do
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$wine_pid" 2>/dev/null; then
  echo "    the program did not close within 10 s; stopping Wine"
else
  rc=0
  wait "$wine_pid" || rc=$?
  wine_pid=""
  echo "    vorlant.exe exited with $rc"
fi
say "done"
