#!/usr/bin/env bash
# Screenshots of KStars' INDI control panel with indi_brask connected to the
# simulator, for docs/screenshots/ (not part of the test command):
#
#   scripts/kstars-screenshot.sh
#
# Installs KStars from Debian's packages when it is missing (without the
# recommended packages), builds the simulator and the driver in build/native
# when they are not built, then on a private Xvfb display and a private
# session bus: the simulator (class 5) on a pty, indiserver serving
# indi_brask on a free loopback port, the driver connected to the
# simulator's pty with INDI's client tools, and KStars connected to that
# server as a client (its INDI scripting interface on the session bus).
# Writes kstars-indi-connection.png (the Connection tab) and
# kstars-indi-ra.png (the RA tab). Every wait is for a state, bounded.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$ROOT/build/native"
SIM="$BUILD/tools/simulator/vorlant-sim"
DRIVER="$BUILD/tools/indi_brask/indi_brask"
WORK="$ROOT/build/kstars"
OUT="$ROOT/docs/screenshots"

say() { echo "==> $*"; }
die() {
  echo "kstars-screenshot: $*" >&2
  exit 1
}

# Runs a command until it succeeds, at most `tries` times 0.25 s apart.
wait_for() {
  local tries=$1
  shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.25
  done
  return 1
}

need_packages=()
command -v kstars >/dev/null || need_packages+=(kstars)
command -v indiserver >/dev/null || need_packages+=(indi-bin)
command -v xdotool >/dev/null || need_packages+=(xdotool)
command -v Xvfb >/dev/null || need_packages+=(xvfb)
command -v xwd >/dev/null || need_packages+=(x11-apps)
command -v convert >/dev/null || need_packages+=(imagemagick)
command -v dbus-daemon >/dev/null || need_packages+=(dbus)
if [ ${#need_packages[@]} -gt 0 ]; then
  say "installing ${need_packages[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need_packages[@]}" \
    >/dev/null || die "apt-get install ${need_packages[*]} failed"
fi

if [ ! -x "$SIM" ] || [ ! -x "$DRIVER" ]; then
  say "building the simulator and the driver (build/native)"
  [ -f "$BUILD/build.ninja" ] || cmake --preset native -Wno-dev -S "$ROOT" >/dev/null
  ninja -C "$BUILD" vorlant-sim indi_brask >/dev/null || die "the build failed"
fi
[ -x "$DRIVER" ] || die "indi_brask was not built (is libindi-dev installed?)"

rm -rf "$WORK"
mkdir -p "$WORK/home/.config" "$OUT"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# A private display on the first free number.
num=90
while [ -e "/tmp/.X11-unix/X$num" ] || [ -e "/tmp/.X$num-lock" ]; do num=$((num + 1)); done
Xvfb ":$num" -screen 0 1400x1000x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$num"
wait_for 40 xdotool getdisplaygeometry || die "Xvfb did not start"

say "simulator on a pty"
"$SIM" --profile class5 >"$WORK/sim.out" 2>"$WORK/sim.err" &
pids+=($!)
wait_for 40 grep -q '^PTY ' "$WORK/sim.out" || die "the simulator named no pty"
pty=$(sed -n 's/^PTY //p' "$WORK/sim.out" | head -1)

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
say "indiserver with indi_brask on port $port"
indiserver -p "$port" -u "/tmp/vorlant-indi-kstars-$port" "$DRIVER" >"$WORK/indiserver.log" 2>&1 &
pids+=($!)
wait_for 40 indi_getprop -p "$port" -t 1 Brask.CONNECTION.CONNECT || die "indiserver did not serve the driver"
indi_setprop -p "$port" "Brask.DEVICE_PORT.PORT=$pty"
indi_setprop -p "$port" "Brask.CONNECTION.CONNECT=On"
indi_eval -p "$port" -w -t 20 '"Brask.CONNECTION._STATE"==1' >/dev/null || die "the driver did not connect"

say "KStars as a client of that server"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" QT_QPA_PLATFORM=xcb
# No wallet dialog; no first-run wizard where the setting is honoured (it
# is closed below where it is not).
printf '[Wallet]\nEnabled=false\nFirst Use=false\n' >"$XDG_CONFIG_HOME/kwalletrc"
printf '[General]\nRunStartupWizard=false\n' >"$XDG_CONFIG_HOME/kstarsrc"
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$WORK/bus.address" 4>"$WORK/bus.pid"
pids+=("$(cat "$WORK/bus.pid")")
DBUS_SESSION_BUS_ADDRESS=$(cat "$WORK/bus.address")
export DBUS_SESSION_BUS_ADDRESS
kstars >"$WORK/kstars.log" 2>&1 &
pids+=($!)
kcall() { dbus-send --session --print-reply --dest=org.kde.kstars "$@"; }
wait_for 240 kcall /KStars/INDI org.freedesktop.DBus.Introspectable.Introspect || die "KStars did not start"
wait_for 120 xdotool search --onlyvisible --name '^KStars$' || die "KStars showed no window"
kcall /KStars/INDI org.kde.kstars.INDI.connect string:localhost "int32:$port" >/dev/null
has_device() { kcall /KStars/INDI org.kde.kstars.INDI.getDevices | grep -q '"Brask"'; }
wait_for 120 has_device || die "KStars did not list the device Brask"

# Without a window manager a dialog stays on top and a modal one (the
# first-run wizard, where the setting above is not honoured) keeps the
# panel from opening: close it whenever it is there, then ask for the panel.
panel_id() { xdotool search --onlyvisible --name '^INDI Control Panel' | head -1; }
open_panel() {
  local wizard
  wizard=$(xdotool search --onlyvisible --name 'Startup Wizard' 2>/dev/null | head -1 || true)
  [ -z "$wizard" ] || xdotool key --window "$wizard" Escape
  kcall /kstars/MainWindow_1/actions/show_control_panel org.qtproject.Qt.QAction.trigger >/dev/null
  [ -n "$(panel_id)" ]
}
for _ in $(seq 60); do
  open_panel && break
  sleep 0.5
done
[ -n "$(panel_id)" ] || die "the INDI control panel did not open"
panel=$(panel_id)
for w in $(xdotool search --onlyvisible --name '^KStars$'); do xdotool windowunmap "$w"; done
xdotool windowsize "$panel" 1100 900 windowmove "$panel" 0 0
# The panel is drawn once its tabs are there: its RA tab's properties come
# with the read-out.
has_ra() { kcall /KStars/INDI org.kde.kstars.INDI.getProperties string:Brask | grep -q raAcceleration; }
wait_for 80 has_ra || die "KStars has no RA properties"
shoot() {
  local name=$1 previous="" now
  # Taken when two grabs in a row are alike: the panel has stopped drawing.
  for _ in $(seq 40); do
    xwd -silent -id "$panel" | convert xwd:- "$WORK/$name"
    now=$(md5sum <"$WORK/$name")
    [ "$now" = "$previous" ] && break
    previous=$now
    sleep 0.25
  done
  cp "$WORK/$name" "$OUT/$name"
  say "screenshot: $OUT/$name"
}
shoot kstars-indi-connection.png
# The RA tab (the fifth of the device's tabs, after Connection,
# Identification and firmware, Site and meridian flip and Gear ratio) at
# the panel's size set above.
xdotool mousemove --window "$panel" 598 63 click 1
shoot kstars-indi-ra.png
say "done"
