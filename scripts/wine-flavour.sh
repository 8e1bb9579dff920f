# The one place that decides which Windows build runs under Wine on this
# host: the 32-bit program (the product) where the host can run 32-bit
# programs, else the 64-bit build of the same sources. Used by the test
# command, the run command and the screenshot and benchmark scripts.
# Source it, then call:
#
#   wine_flavour_pick
#       sets WINE_FLAVOUR (win32 or win64) and WINE_FLAVOUR_WHY (one line
#       that says why), or prints the reason to stderr and returns 1.
#       VORLANT_WINE_ARCH=win32|win64 picks the flavour on any host;
#       win32 on a host that cannot run it fails with the reason.
#   host_runs_win32
#       returns 0 when the 32-bit Wine loader starts; otherwise sets
#       WINE32_WHY to the reason.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}

host_runs_win32() {
  local out
  WINE32_WHY=""
  if [ ! -x "$WINE32_LOADER" ]; then
    WINE32_WHY="the 32-bit Wine loader ($WINE32_LOADER) is not installed"
    return 1
  fi
  if out=$("$WINE32_LOADER" --version 2>&1); then
    return 0
  fi
  case "$out" in
  *"Exec format error"* | *"cannot execute binary file"*)
    # The kernel says so in its log: "32-bit emulation disabled".
    WINE32_WHY="this host cannot run 32-bit programs (ia32 emulation is off)"
    ;;
  *)
    WINE32_WHY="the 32-bit Wine loader does not start: $(printf '%s\n' "$out" | head -n 1)"
    ;;
  esac
  return 1
}

wine_flavour_pick() {
  WINE_FLAVOUR=""
  WINE_FLAVOUR_WHY=""
  case "${VORLANT_WINE_ARCH:-}" in
  "")
    if host_runs_win32; then
      WINE_FLAVOUR=win32
      WINE_FLAVOUR_WHY="win32: the Windows tests and programs run on the 32-bit build"
    else
      WINE_FLAVOUR=win64
      WINE_FLAVOUR_WHY="win32: $WINE32_WHY; the Windows tests and programs run on the 64-bit build of the same sources"
    fi
    ;;
  win32)
    if ! host_runs_win32; then
      echo "VORLANT_WINE_ARCH=win32: $WINE32_WHY (VORLANT_WINE_ARCH=win64 runs the 64-bit build instead)" >&2
      return 1
    fi
    WINE_FLAVOUR=win32
    WINE_FLAVOUR_WHY="win32: VORLANT_WINE_ARCH=win32 picks the 32-bit build"
    ;;
  win64)
    WINE_FLAVOUR=win64
    WINE_FLAVOUR_WHY="win64: VORLANT_WINE_ARCH=win64 picks the 64-bit build of the same sources"
    ;;
  *)
    echo "VORLANT_WINE_ARCH must be win32 or win64 (or unset: the host decides), not '$VORLANT_WINE_ARCH'" >&2
    return 1
    ;;
  esac
  return 0
}
