#!/usr/bin/env bash
# Installs the Debian package in a clean Debian (debootstrap, minbase) and
# tries it there as a user would:
#
#   scripts/check-deb-install.sh DEB [CHROOT-DIR]
#
# `apt install ./vorlant_*.deb` must pull in everything the programs need
# (no library of vorlant-qt or vorlantctl left unfound), `vorlantctl
# --version` must answer, `man vorlantctl` must show the page with its EXIT
# STATUS and ENVIRONMENT sections, and bash (with bash-completion) must load
# the completion on demand and complete a field name.
#
# Needs root and debootstrap; the release and mirror are this machine's
# (/etc/os-release, /etc/apt/sources.list.d/debian.sources), or
# VORLANT_DEBIAN_SUITE and VORLANT_DEBIAN_MIRROR. The downloaded packages
# are kept in /var/cache/vorlant-debootstrap for the next run; the chroot
# (default: a temporary folder) is removed after. Takes a few minutes.
# Exit 1 with the reasons otherwise.
set -uo pipefail

deb=$(realpath "${1:?usage: check-deb-install.sh DEB [CHROOT-DIR]}") || exit 1
[ -f "$deb" ] || { echo "check-deb-install: no package at $deb (ninja -C build/native package makes it)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "check-deb-install: needs root (chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 || { echo "check-deb-install: debootstrap is not installed" >&2; exit 1; }

suite=${VORLANT_DEBIAN_SUITE:-$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")}
mirror=${VORLANT_DEBIAN_MIRROR:-$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' \
  /etc/apt/sources.list.d/debian.sources 2>/dev/null)}
[ -n "$mirror" ] || { echo "check-deb-install: no Debian mirror in this machine's apt sources; set VORLANT_DEBIAN_MIRROR" >&2; exit 1; }
keep=${2:-}
root=${2:-$(mktemp -d "${TMPDIR:-/tmp}/vorlant-chroot.XXXXXX")}
cache=/var/cache/vorlant-debootstrap
mkdir -p "$root" "$cache"

cleanup() {
  mountpoint -q "$root/proc" && umount "$root/proc"
  [ -n "$keep" ] || rm -rf "$root"
}
trap cleanup EXIT

failed=0
fail() { printf 'FAIL: %s\n' "$*"; failed=1; }
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

start=$(date +%s)
echo "debootstrap --variant=minbase $suite $root $mirror"
if ! debootstrap --variant=minbase --cache-dir="$cache" "$suite" "$root" "$mirror" >"$root.log" 2>&1; then
  tail -20 "$root.log"
  echo "check-deb-install: debootstrap failed" >&2
  exit 1
fi
rm -f "$root.log"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
name=$(basename "$deb")
echo "apt install ./$name (+ man-db, bash-completion)"
in_root apt-get -q update >/dev/null 2>&1
if ! in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get -q -y install ./$name man-db bash-completion" \
  >"$root/tmp/apt.log" 2>&1; then
  tail -20 "$root/tmp/apt.log"
  fail "apt install ./$name failed"
fi

if [ $failed -eq 0 ]; then
  missing=$(in_root sh -c 'ldd /usr/bin/vorlant-qt /usr/bin/vorlantctl | grep "not found"')
  [ -z "$missing" ] || fail "libraries not installed: $missing"

  if version=$(in_root vorlantctl --version 2>&1); then
    echo "vorlantctl --version: $version"
  else
    fail "vorlantctl --version: $version"
  fi

  page=$(in_root sh -c 'MANPAGER=cat MANWIDTH=80 man vorlantctl 2>&1')
  shown=1
  for section in "EXIT STATUS" ENVIRONMENT; do
    grep -q "^$section" <<<"$page" || { fail "man vorlantctl shows no $section section"; shown=0; }
  done
  [ $shown -eq 1 ] && echo "man vorlantctl: $(grep -c . <<<"$page") lines, EXIT STATUS and ENVIRONMENT shown"

  # bash-completion loads the file by the command's name when it is first
  # completed.
  words=$(in_root bash -c 'source /usr/share/bash-completion/bash_completion
    _completion_loader vorlantctl
    COMP_WORDS=(vorlantctl set raAcc); COMP_CWORD=2; _vorlantctl; echo "${COMPREPLY[*]}"' 2>&1)
  if [ "$words" = raAcceleration ]; then
    echo "completion of 'vorlantctl set raAcc': $words"
  else
    fail "completion of 'vorlantctl set raAcc': '$words'"
  fi
fi

echo "took $(($(date +%s) - start)) s"
[ $failed -eq 0 ] && echo "install checks passed"
exit $failed
