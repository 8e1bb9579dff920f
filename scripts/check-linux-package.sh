#!/usr/bin/env bash
# Builds the Debian package of a native build and checks it:
#
#   scripts/check-linux-package.sh BUILD-DIR [OUT-DIR]
#
# The package is made in OUT-DIR (default: a temporary folder, removed
# after). It must hold both programs, their manual pages (vorlantctl's with
# EXIT STATUS and ENVIRONMENT), the bash completion (which must complete a
# field name), the desktop entry, the hicolor icons and the AppStream file;
# its dependencies must come from dpkg-shlibdeps. Where the tools are
# present: lintian must report no error and appstreamcli must accept the
# AppStream file (the qt_install test validates the desktop entry). Exit 1 with
# the reasons otherwise.
set -uo pipefail

build=$(cd "${1:?usage: check-linux-package.sh BUILD-DIR [OUT-DIR]}" && pwd)
if [ -n "${2:-}" ]; then
  out=$2
  mkdir -p "$out"
else
  out=$(mktemp -d "${TMPDIR:-/tmp}/vorlant-deb.XXXXXX")
  trap 'rm -rf "$out"' EXIT
fi
failed=0
fail() { printf 'FAIL: %s\n' "$*"; failed=1; }

if ! log=$(cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" 2>&1); then
  printf '%s\n' "$log"
  fail "cpack -G DEB failed"
  exit 1
fi
deb=$(ls "$out"/vorlant_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { fail "no vorlant_*.deb in $out"; exit 1; }
echo "package: $(basename "$deb")"

tree="$out/tree"
rm -rf "$tree" && dpkg-deb -x "$deb" "$tree" || fail "dpkg-deb -x failed"
for path in usr/bin/vorlantctl usr/bin/vorlant-qt \
  usr/share/man/man1/vorlantctl.1.gz usr/share/man/man1/vorlant-qt.1.gz \
  usr/share/bash-completion/completions/vorlantctl \
  usr/share/applications/vorlant-qt.desktop \
  usr/share/icons/hicolor/scalable/apps/vorlant-qt.svg \
  usr/share/doc/vorlant/copyright usr/share/doc/vorlant/changelog.gz; do
  [ -f "$tree/$path" ] || fail "missing /$path"
done
# The INDI driver, where the build made it (libindi installed): the program,
# its manual page and the description INDI clients list drivers from.
if [ -x "$build/tools/indi_brask/indi_brask" ]; then
  for path in usr/bin/indi_brask usr/share/man/man1/indi_brask.1.gz usr/share/indi/indi_brask.xml; do
    [ -f "$tree/$path" ] || fail "missing /$path"
  done
  grep -q 'manufacturer="Kelvane"' "$tree/usr/share/indi/indi_brask.xml" 2>/dev/null ||
    fail "indi_brask.xml names no manufacturer Kelvane"
fi
for size in 16 32 48 64 128 256; do
  png="$tree/usr/share/icons/hicolor/${size}x${size}/apps/vorlant-qt.png"
  # The PNG header's width and height, big-endian, at bytes 16..23.
  dims=$(od -An --endian=big -tu4 -j16 -N8 "$png" 2>/dev/null | tr -s ' ')
  [ "$dims" = " $size $size" ] || fail "icon ${size}x${size}: missing or of another size"
done
metainfo=$(ls "$tree"/usr/share/metainfo/*.metainfo.xml 2>/dev/null | head -1)
[ -n "$metainfo" ] || fail "missing /usr/share/metainfo/*.metainfo.xml"
grep -q '<screenshot' "${metainfo:-/dev/null}" || fail "the AppStream file refers to no screenshot"

page=$(zcat "$tree/usr/share/man/man1/vorlantctl.1.gz" 2>/dev/null)
for section in NAME SYNOPSIS OPTIONS COMMANDS "EXIT STATUS" ENVIRONMENT; do
  grep -qx ".SH $section" <<<"$page" || fail "vorlantctl.1 has no $section section"
done

# The completion as bash runs it: a field name after `set`.
words=$(bash -c 'source "$1"; COMP_WORDS=(vorlantctl set raAcc); COMP_CWORD=2; _vorlantctl; echo "${COMPREPLY[*]}"' \
  _ "$tree/usr/share/bash-completion/completions/vorlantctl" 2>&1)
[ "$words" = raAcceleration ] || fail "completion of 'vorlantctl set raAcc': '$words'"

depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" && grep -q 'libqt6widgets6' <<<"$depends" ||
  fail "dependencies not from the system's libraries: '$depends'"

if command -v lintian >/dev/null 2>&1; then
  report=$(lintian --allow-root "$deb" 2>&1)
  [ -z "$report" ] || printf '%s\n' "$report"
  grep -q '^E: ' <<<"$report" && fail "lintian reports errors"
else
  echo "lintian not installed: not run"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$metainfo" >/dev/null 2>&1 ||
    { appstreamcli validate --no-net "$metainfo"; fail "appstreamcli validate rejects $(basename "$metainfo")"; }
else
  echo "appstreamcli not installed: not run"
fi

[ $failed -eq 0 ] && echo "package checks passed"
exit $failed
