#!/usr/bin/env bash
# wine-with-sim.sh PROFILE COMn WINDOWS-EXE [ARGS...]
#
# End-to-end test runner for the cross build: runs a Windows program under
# Wine against the native controller simulator.
#   1. starts the simulator: vorlant-sim --profile PROFILE [VORLANT_SIM_ARGS]
#      and reads the pseudo terminal it reports ("PTY /dev/pts/N", first line
#      of its standard output);
#   2. links that terminal as "$WINEPREFIX/dosdevices/com<n>", so the program
#      opens it as "\\.\COM<n>";
#   3. runs WINDOWS-EXE ARGS... through the build folder's Wine wrapper;
#   4. stops the simulator, removes the link (restoring whatever the prefix
#      had there) and exits with the program's exit code.
# COMn may be given as COM3, com3 or 3.
#
# Environment (vorlant_wine_sim_test() in cmake/VorlantTest.cmake sets both):
#   VORLANT_WINE_RUN  the build folder's wine-run.sh
#   VORLANT_SIM       path of the native vorlant-sim
#   VORLANT_SIM_ARGS  optional extra simulator options (split on spaces)
# The simulator's output is shown when the program fails.
set -euo pipefail

die() {
  echo "wine-with-sim: $*" >&2
  exit 2
}

[ $# -ge 3 ] || die "usage: $0 PROFILE COMn WINDOWS-EXE [ARGS...]"
profile=$1
port=$2
exe=$3
shift 3

case "$port" in
[Cc][Oo][Mm]*) num=${port:3} ;;
*) num=$port ;;
esac
[[ "$num" =~ ^[1-9][0-9]*$ ]] && [ "$num" -le 256 ] || die "bad port '$port' (want COM1..COM256)"

wrap=${VORLANT_WINE_RUN:-}
sim=${VORLANT_SIM:-}
[ -n "$wrap" ] && [ -x "$wrap" ] || die "VORLANT_WINE_RUN must name the build folder's wine-run.sh (got '${wrap}')"
[ -n "$sim" ] || die "VORLANT_SIM is not set"
[ -x "$sim" ] || die "simulator not found at $sim (build the native tree's tools first)"
[ -f "$exe" ] || die "program not found: $exe"

prefix=$("$wrap" --prefix)
link="$prefix/dosdevices/com$num"
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-with-sim.XXXXXX")
sim_pid=""
watch_pid=""
saved=""
linked=0

cleanup() {
  [ -z "$watch_pid" ] || kill "$watch_pid" 2>/dev/null || true
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
      kill -0 "$sim_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  if [ $linked -eq 1 ]; then
    rm -f "$link"
    [ -z "$saved" ] || ln -s "$saved" "$link" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

show_sim_output() {
  echo "---- simulator stdout ----" >&2
  cat "$work/sim.out" >&2 || true
  echo "---- simulator stderr ----" >&2
  cat "$work/sim.err" >&2 || true
  echo "--------------------------" >&2
}

# Line-buffered, so the PTY line arrives even if the simulator does not flush.
linebuf=()
command -v stdbuf >/dev/null 2>&1 && linebuf=(stdbuf -oL)
# shellcheck disable=SC2086 # VORLANT_SIM_ARGS is a list of words
"${linebuf[@]}" "$sim" --profile "$profile" ${VORLANT_SIM_ARGS:-} \
  </dev/null >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
# If this script is killed outright (a test time-out), stop the simulator anyway.
(
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  kill -TERM "$sim_pid" 2>/dev/null
) </dev/null >/dev/null 2>&1 &
watch_pid=$!

pty=""
for _ in $(seq 1 100); do
  # read fails until the first line is complete.
  if IFS= read -r line <"$work/sim.out" 2>/dev/null; then
    [[ "$line" == "PTY "* ]] && pty=${line#PTY }
    break
  fi
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$pty" ]; then
  show_sim_output
  die "the simulator did not report its terminal (want 'PTY /dev/pts/N' as its first line)"
fi
[ -c "$pty" ] || {
  show_sim_output
  die "the simulator reported '$pty', which is not a terminal device"
}

# Make sure the prefix's services are up before linking: the device manager
# re-creates the COM links of the host's serial ports when it starts, and
# would replace ours.
"$wrap" cmd /c exit 0 </dev/null >/dev/null 2>&1 || die "Wine cannot run programs in $prefix"

# Keep the prefix's own link (a host serial port) to put back afterwards; a
# link to a pseudo terminal is a leftover of an interrupted run.
if [ -L "$link" ]; then
  saved=$(readlink "$link")
  [[ "$saved" != /dev/pts/* ]] || saved=""
fi
rm -f "$link"
ln -s "$pty" "$link"
linked=1

set +e
"$wrap" "$exe" "$@"
rc=$?
set -e

if [ $rc -ne 0 ]; then
  echo "wine-with-sim: $(basename "$exe") exited with $rc (simulator profile $profile on COM$num = $pty)" >&2
  show_sim_output
fi
exit $rc
