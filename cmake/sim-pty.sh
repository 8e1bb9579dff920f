# Shell functions shared by the scripts that put the simulator on a line
# (scripts/run.sh, scripts/run-cli.sh, cmake/wine-with-sim.sh). Source it:
#
#   sim_start SIM PROFILE OUT ERR [SIMULATOR OPTIONS...]
#       starts SIM --profile PROFILE OPTIONS on a pseudo terminal of its own,
#       its output in OUT and ERR; sets SIM_PID and SIM_PTY (the terminal it
#       reports as "PTY /dev/pts/N", its first line). Returns 1 if it
#       reports none within 10 s.
#   sim_stop
#       stops it (TERM, then KILL after 2 s).
#   wine_com_link PREFIX N DEVICE
#       makes DEVICE the COM port N of the Wine prefix, keeping what was
#       there (a host serial port) for wine_com_unlink to put back.
#   wine_com_unlink
#   sim_wait_log LOG TEXT SECONDS
#       waits until the simulator's log holds TEXT; returns 1 after SECONDS.

SIM_PID=""
SIM_PTY=""
SIM_LINK=""
SIM_LINK_SAVED=""

sim_start() {
  local sim=$1 profile=$2 out=$3 err=$4 line
  shift 4
  SIM_PTY=""
  # Line-buffered, so the PTY line arrives even if the simulator does not flush.
  local linebuf=()
  command -v stdbuf >/dev/null 2>&1 && linebuf=(stdbuf -oL)
  "${linebuf[@]}" "$sim" --profile "$profile" "$@" </dev/null >"$out" 2>"$err" &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    # read fails until the first line is complete.
    if IFS= read -r line <"$out" 2>/dev/null; then
      [[ "$line" == "PTY "* ]] && SIM_PTY=${line#PTY }
      break
    fi
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$SIM_PTY" ] && [ -c "$SIM_PTY" ]
}

sim_stop() {
  [ -n "$SIM_PID" ] || return 0
  if kill -0 "$SIM_PID" 2>/dev/null; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    for _ in $(seq 1 20); do
      kill -0 "$SIM_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$SIM_PID" 2>/dev/null || true
  fi
  wait "$SIM_PID" 2>/dev/null || true
  SIM_PID=""
}

wine_com_link() {
  local prefix=$1 num=$2 device=$3
  SIM_LINK="$prefix/dosdevices/com$num"
  SIM_LINK_SAVED=""
  # A link to a pseudo terminal is a leftover of an interrupted run.
  if [ -L "$SIM_LINK" ]; then
    SIM_LINK_SAVED=$(readlink "$SIM_LINK")
    [[ "$SIM_LINK_SAVED" != /dev/pts/* ]] || SIM_LINK_SAVED=""
  fi
  rm -f "$SIM_LINK"
  ln -s "$device" "$SIM_LINK"
}

wine_com_unlink() {
  [ -n "$SIM_LINK" ] || return 0
  rm -f "$SIM_LINK"
  [ -z "$SIM_LINK_SAVED" ] || ln -s "$SIM_LINK_SAVED" "$SIM_LINK" 2>/dev/null || true
  SIM_LINK=""
}

sim_wait_log() {
  local log=$1 text=$2 seconds=$3 i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -q -- "$text" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
