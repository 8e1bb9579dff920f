#!/usr/bin/env bash
# expect-run.sh CODE PATTERN COMMAND [ARGS...]
#
# Runs COMMAND and passes when it exits with CODE and its output (standard
# output and standard error together) matches the extended regular
# expression PATTERN (an empty PATTERN is not checked). For tests whose
# expected result is a particular non-zero exit code.
set -u
[ $# -ge 3 ] || { echo "usage: $0 CODE PATTERN COMMAND [ARGS...]" >&2; exit 2; }
want=$1
pattern=$2
shift 2
out=$("$@" 2>&1)
rc=$?
printf '%s\n' "$out"
if [ "$rc" -ne "$want" ]; then
  echo "expect-run: exit code $rc, want $want" >&2
  exit 1
fi
if [ -n "$pattern" ] && ! grep -Eq -- "$pattern" <<<"$out"; then
  echo "expect-run: the output does not match /$pattern/" >&2
  exit 1
fi
exit 0
