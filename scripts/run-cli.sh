#!/usr/bin/env bash
# Runs the command-line tool (vorlantctl) against a controller.
#
#   scripts/run-cli.sh                against the simulator (vorlant-sim --profile class5)
#   scripts/run-cli.sh --port DEVICE   against a real controller on DEVICE (read-out only)
#   scripts/run-cli.sh --port DEVICE --write
#                                   ... and also send the example settings to it
#
# Installs missing packages (scripts/setup.sh), builds what it needs in
# build/native, then reads the controller out with vorlantctl, sends a few
# settings and reads it out again. Without vorlantctl (not built yet) it says
# so and checks the simulator with a raw identification request instead.
# The simulator's log of every request and reply ends up in build/run/sim.log.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BUILD="$ROOT/build/native"
RUNDIR="$ROOT/build/run"
SIM="$BUILD/tools/simulator/vorlant-sim"
CTL="$BUILD/tools/vorlantctl/vorlantctl"
PROFILE=class5

# The commands sent after the first read-out, one vorlantctl command a line
# (--port is added in front). They change visible values, so the second
# read-out shows that they arrived.
WRITES=(
  "set raMaxSpeed 1200 deMaxSpeed 1100"
  "set raAcceleration 48 deAcceleration 40 raGuideRate 5"
  "tracking on"
  "voltage"
)

say() { printf '==> %s\n' "$*"; }
die() {
  printf 'run: ERROR: %s\n' "$*" >&2
  exit 1
}
usage() {
  sed -n '3,7p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit 2
}

port=""
write_real=0
while [ $# -gt 0 ]; do
  case "$1" in
  --port)
    [ $# -ge 2 ] || die "--port needs a device"
    port=$2
    shift 2
    ;;
  --port=*)
    port=${1#--port=}
    shift
    ;;
  --write)
    write_real=1
    shift
    ;;
  -h | --help) usage ;;
  *)
    printf 'run: unknown option %s\n' "$1" >&2
    usage
    ;;
  esac
done
if [ -n "$port" ]; then
  [ -e "$port" ] || die "no such device: $port"
  [ -c "$port" ] || die "$port is not a character device (a serial port)"
fi

bash "$ROOT/scripts/setup.sh"

# Same options as the native stage of scripts/test-all.sh, so both share the folder.
say "configuring build/native"
mkdir -p "$RUNDIR"
cmake -G Ninja -S "$ROOT" -B "$BUILD" -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANT_BENCH=ON \
  >"$RUNDIR/configure.log" 2>&1 || {
  tail -n 40 "$RUNDIR/configure.log" >&2
  die "configuring failed (log: $RUNDIR/configure.log)"
}

targets=()
known=$(ninja -C "$BUILD" -t targets all 2>/dev/null | sed -n 's/^\([^:]*\): .*/\1/p')
grep -qx 'vorlantctl' <<<"$known" && targets+=(vorlantctl)
[ -n "$port" ] || {
  grep -qx 'vorlant-sim' <<<"$known" || die "the tree has no vorlant-sim target (tools/simulator)"
  targets+=(vorlant-sim)
}
if [ ${#targets[@]} -gt 0 ]; then
  say "building ${targets[*]}"
  ninja -C "$BUILD" -j2 "${targets[@]}" >"$RUNDIR/build.log" 2>&1 || {
    grep -E -A14 '^FAILED:' "$RUNDIR/build.log" | head -n 80 >&2 || tail -n 40 "$RUNDIR/build.log" >&2
    die "building failed (log: $RUNDIR/build.log)"
  }
fi

# shellcheck source=cmake/sim-pty.sh
. "$ROOT/cmake/sim-pty.sh"
trap sim_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

writes=1
if [ -z "$port" ]; then
  say "starting the simulator: vorlant-sim --profile $PROFILE"
  sim_start "$SIM" "$PROFILE" "$RUNDIR/sim.out" "$RUNDIR/sim.err" --log "$RUNDIR/sim.log" || {
    cat "$RUNDIR/sim.err" >&2 || true
    die "the simulator did not report its terminal"
  }
  port=$SIM_PTY
  echo "    simulated controller on $port"
else
  say "using the controller on $port"
  if [ $write_real -eq 0 ]; then
    writes=0
    echo "    read-out only; add --write to send the example settings to this controller"
  fi
fi

# Raw identification request, for when the command-line tool is missing.
probe() {
  python3 - "$1" <<'EOF'
import os, select, sys, termios, time, tty
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
os.write(fd, bytes([0xAA, 0x01, 0x01]))
reply, end = b"", time.time() + 2.0
while time.time() < end:
    if select.select([fd], [], [], 0.1)[0]:
        reply += os.read(fd, 256)
    elif reply:
        break
os.close(fd)
print("    request  AA 01 01 (identification)")
print("    reply    " + (" ".join("%02X" % b for b in reply) if reply else "(none within 2 s)"))
sys.exit(0 if reply[:1] == b"\x55" else 1)
EOF
}

failed=0
ctl() {
  local cmd=$1
  shift
  local rc=0
  echo "\$ vorlantctl --port $port $cmd${*:+ $*}"
  "$CTL" --port "$port" "$cmd" "$@" || rc=$?
  if [ $rc -ne 0 ]; then
    echo "    (vorlantctl $cmd failed with exit code $rc)"
    failed=1
  fi
}

if [ ! -x "$CTL" ]; then
  say "vorlantctl is not built yet (tools/vorlantctl has no program)"
  echo "    What runs today: the simulator answers on $port. Checking it with a raw request:"
  probe "$port" || failed=1
else
  say "read-out"
  ctl readout
  if [ $writes -eq 1 ]; then
    say "sending settings"
    for w in "${WRITES[@]}"; do
      # shellcheck disable=SC2086 # each entry is a command and its words
      ctl $w
    done
    say "read-out after the changes"
    ctl readout
  fi
fi

if [ -n "$SIM_PID" ] && [ -s "$RUNDIR/sim.log" ]; then
  echo "    simulator log (requests and replies): $RUNDIR/sim.log ($(wc -l <"$RUNDIR/sim.log") lines)"
fi
if [ $failed -ne 0 ]; then
  die "some steps failed (see above)"
fi
say "done"
