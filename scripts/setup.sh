#!/usr/bin/env bash
# Installs the Debian packages that the builds, tests and tools need.
# Idempotent: when everything is already present it only checks and exits;
# apt-get runs only for what is missing. Needs root, or sudo without a
# password prompt.
set -euo pipefail

PACKAGES=(
  # native build and tests
  cmake ninja-build g++ python3 clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # header-only libraries of the tools (settings files, command lines)
  nlohmann-json3-dev libcli11-dev
  # libFuzzer (its sanitizer runtime, for the clang installed, is added below)
  clang
  # 32-bit Windows build, run under Wine
  mingw-w64 wine wine32:i386 wine64
  # headless display and screenshots
  xvfb xauth x11-apps imagemagick xdotool
  # Linux front end
  qt6-base-dev desktop-file-utils
  # the INDI driver: the driver library and headers, indiserver and the
  # client tools its tests use
  libindi-dev indi-bin
  # its Debian package (cpack's dependency list needs file and
  # dpkg-shlibdeps) and the package's checks (lintian, AppStream, a clean
  # chroot to install it in)
  dpkg-dev file lintian appstream debootstrap
)

say() { printf 'setup: %s\n' "$*"; }
die() { printf 'setup: ERROR: %s\n' "$*" >&2; exit 1; }

command -v dpkg-query >/dev/null 2>&1 || die "dpkg-query not found; this script needs Debian or a derivative"

installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

ensure() { # PACKAGE...
  missing=()
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done

  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi

  if [ "$(id -u)" -eq 0 ]; then
    SUDO=()
  elif command -v sudo >/dev/null 2>&1; then
    # -n: never prompt; fail instead, with the message below.
    sudo -n true 2>/dev/null || die "need root; sudo asks for a password (run: sudo $0)"
    SUDO=(sudo -n)
  else
    die "need root to install: ${missing[*]} (no sudo available)"
  fi

  log=$(mktemp "${TMPDIR:-/tmp}/vorlant-setup.XXXXXX")
  run() {
    if ! "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive "$@" >>"$log" 2>&1; then
      tail -n 30 "$log" >&2
      die "failed: $*"
    fi
  }

  need_i386=0
  for p in "${missing[@]}"; do
    case "$p" in *:i386) need_i386=1 ;; esac
  done
  if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture (for 32-bit Wine)"
    run dpkg --add-architecture i386
  fi

  say "installing: ${missing[*]}"
  run apt-get -q -y -o Dpkg::Use-Pty=0 update
  run apt-get -q -y -o Dpkg::Use-Pty=0 install "${missing[@]}"

  still=()
  for p in "${missing[@]}"; do
    installed "$p" || still+=("$p")
  done
  rm -f "$log"
  [ ${#still[@]} -eq 0 ] || die "still missing after install: ${still[*]}"
  say "installed: ${missing[*]}"
}

ensure "${PACKAGES[@]}"
# The sanitizer runtime that matches the clang that is installed.
clang_major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
[ -n "$clang_major" ] || die "clang is installed but does not report its version"
ensure "libclang-rt-$clang_major-dev"
say "all $((${#PACKAGES[@]} + 1)) packages present"
