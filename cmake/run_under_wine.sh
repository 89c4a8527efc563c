#!/bin/sh
# Runs a Windows program for the Windows build's tests (the toolchain file's
# emulator): under wine, in the build's own prefix, quietly.
#
#   run_under_wine.sh <prefix> <wine> <program> [arguments...]
#
# When wine itself fails before the program could run (its client loses the
# wine server that was just shutting down: "wine client error: ... Connection
# reset by peer", seen when many short wine processes start and end side by
# side), the program is started again, at most twice more. A failure of the
# program itself is never retried. The program's standard error is passed on
# after it ends.
prefix=$1
wine=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all
err=$(mktemp) || exit 1
trap 'rm -f "$err"' EXIT
attempt=1
while :; do
  "$wine" "$@" 2>"$err"
  rc=$?
  if [ "$rc" -ne 0 ] && [ "$attempt" -lt 3 ] && grep -q '^wine client error' "$err"; then
    attempt=$((attempt + 1))
    continue
  fi
  cat "$err" >&2
  exit "$rc"
done
