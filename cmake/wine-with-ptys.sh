#!/usr/bin/env bash
# wine-with-ptys.sh ECHO_COM VANISH_COM NOT_SERIAL_COM WINDOWS-EXE [ARGS...]
#
# Runner of the Windows serial-port tests under Wine, against real lines:
#   1. starts cmake/pty-peers.py, which creates two pseudo terminals: one
#      whose far end echoes every byte, one whose far end goes away after
#      the first byte it receives;
#   2. links them as "$WINEPREFIX/dosdevices/com<n>" for ECHO_COM and
#      VANISH_COM, and NOT_SERIAL_COM to /dev/null (a device that opens but
#      is no serial port);
#   3. runs WINDOWS-EXE ARGS... through the build folder's Wine wrapper with
#      VORLANT_TEST_ECHO_COM, VORLANT_TEST_VANISHING_COM and
#      VORLANT_TEST_NOT_SERIAL_COM set to those numbers;
#   4. stops the peers, removes the links (restoring whatever the prefix had
#      there) and exits with the program's exit code.
# COM numbers may be given as COM3, com3 or 3.
#
# Environment: VORLANT_WINE_RUN, the build folder's wine-run.sh.
set -euo pipefail

die() {
  echo "wine-with-ptys: $*" >&2
  exit 2
}

[ $# -ge 4 ] || die "usage: $0 ECHO_COM VANISH_COM NOT_SERIAL_COM WINDOWS-EXE [ARGS...]"
number() {
  local n=$1
  case "$n" in [Cc][Oo][Mm]*) n=${n:3} ;; esac
  [[ "$n" =~ ^[1-9][0-9]*$ ]] && [ "$n" -le 256 ] || die "bad port '$1' (want COM1..COM256)"
  echo "$n"
}
echo_num=$(number "$1")
vanish_num=$(number "$2")
null_num=$(number "$3")
exe=$4
shift 4

wrap=${VORLANT_WINE_RUN:-}
[ -n "$wrap" ] && [ -x "$wrap" ] || die "VORLANT_WINE_RUN must name the build folder's wine-run.sh (got '${wrap}')"
[ -f "$exe" ] || die "program not found: $exe"
command -v python3 >/dev/null 2>&1 || die "python3 not found (scripts/setup.sh installs it)"
peers_py="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)/pty-peers.py"

prefix=$("$wrap" --prefix)
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-with-ptys.XXXXXX")
peers_pid=""
watch_pid=""
links=()   # com numbers linked by this run
saved=()   # their earlier targets ("" for none)

cleanup() {
  [ -z "$watch_pid" ] || kill "$watch_pid" 2>/dev/null || true
  if [ -n "$peers_pid" ]; then
    kill -TERM "$peers_pid" 2>/dev/null || true
    wait "$peers_pid" 2>/dev/null || true
  fi
  local i
  for i in "${!links[@]}"; do
    rm -f "$prefix/dosdevices/com${links[$i]}"
    [ -z "${saved[$i]}" ] || ln -s "${saved[$i]}" "$prefix/dosdevices/com${links[$i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

python3 "$peers_py" </dev/null >"$work/peers.out" 2>"$work/peers.err" &
peers_pid=$!
# If this script is killed outright (a test time-out), stop the peers anyway.
(
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  kill -TERM "$peers_pid" 2>/dev/null
) </dev/null >/dev/null 2>&1 &
watch_pid=$!

echo_pty=""
vanish_pty=""
for _ in $(seq 1 100); do
  echo_pty=$(sed -n 's/^ECHO //p' "$work/peers.out")
  vanish_pty=$(sed -n 's/^VANISH //p' "$work/peers.out")
  [ -n "$echo_pty" ] && [ -n "$vanish_pty" ] && break
  kill -0 "$peers_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$echo_pty" ] || [ -z "$vanish_pty" ]; then
  cat "$work/peers.err" >&2 || true
  die "the pty peers did not report their terminals"
fi

# The prefix's services must be up before linking: the device manager
# re-creates the COM links of the host's serial ports when it starts.
"$wrap" cmd /c exit 0 </dev/null >/dev/null 2>&1 || die "Wine cannot run programs in $prefix"

link() { # NUMBER TARGET
  local path="$prefix/dosdevices/com$1" old=""
  if [ -L "$path" ]; then
    old=$(readlink "$path")
    # A link to a pseudo terminal or /dev/null is a leftover of an interrupted run.
    [[ "$old" != /dev/pts/* && "$old" != /dev/null ]] || old=""
  fi
  links+=("$1")
  saved+=("$old")
  rm -f "$path"
  ln -s "$2" "$path"
}
link "$echo_num" "$echo_pty"
link "$vanish_num" "$vanish_pty"
link "$null_num" /dev/null

set +e
VORLANT_TEST_ECHO_COM=$echo_num VORLANT_TEST_VANISHING_COM=$vanish_num VORLANT_TEST_NOT_SERIAL_COM=$null_num \
  "$wrap" "$exe" "$@"
rc=$?
set -e
if [ $rc -ne 0 ]; then
  echo "wine-with-ptys: $(basename "$exe") exited with $rc (echo COM$echo_num = $echo_pty, vanishing COM$vanish_num = $vanish_pty, COM$null_num = /dev/null)" >&2
  cat "$work/peers.err" >&2 || true
fi
exit $rc
