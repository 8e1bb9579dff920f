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
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-with-sim.XXXXXX")
watch_pid=""
# shellcheck source=cmake/sim-pty.sh
. "$(dirname "${BASH_SOURCE[0]}")/sim-pty.sh"

cleanup() {
  [ -z "$watch_pid" ] || kill "$watch_pid" 2>/dev/null || true
  sim_stop
  wine_com_unlink
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

# shellcheck disable=SC2086 # VORLANT_SIM_ARGS is a list of words
if ! sim_start "$sim" "$profile" "$work/sim.out" "$work/sim.err" ${VORLANT_SIM_ARGS:-}; then
  show_sim_output
  die "the simulator did not report its terminal (want 'PTY /dev/pts/N' as its first line)"
fi
# If this script is killed outright (a test time-out), stop the simulator anyway.
(
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  kill -TERM "$SIM_PID" 2>/dev/null
) </dev/null >/dev/null 2>&1 &
watch_pid=$!

# Make sure the prefix's services are up before linking: the device manager
# re-creates the COM links of the host's serial ports when it starts, and
# would replace ours.
"$wrap" cmd /c exit 0 </dev/null >/dev/null 2>&1 || die "Wine cannot run programs in $prefix"
wine_com_link "$prefix" "$num" "$SIM_PTY"

set +e
"$wrap" "$exe" "$@"
rc=$?
set -e

if [ $rc -ne 0 ]; then
  echo "wine-with-sim: $(basename "$exe") exited with $rc (simulator profile $profile on COM$num = $SIM_PTY)" >&2
  show_sim_output
fi
exit $rc
