#!/usr/bin/env bash
# Runs a test program as an unprivileged user: root ignores file modes, so
# tests of unreadable and read-only records mean nothing as root.
# Usage: run_unprivileged.sh <program> [arguments...]
# Exits 77 (skipped) when root cannot switch to the unprivileged user.
set -u
program=$1
shift
if [ "$(id -u)" -ne 0 ]; then
  exec "$program" "$@"
fi
if ! command -v setpriv >/dev/null 2>&1; then
  echo "SKIP: setpriv (util-linux) is missing, cannot drop root to test file modes"
  exit 77
fi
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
if ! "${as_nobody[@]}" test -x "$program"; then
  echo "SKIP: user 65534 cannot run $program (a folder above it is closed to others)"
  exit 77
fi
# A temporary folder that user owns, for the tests' own folders.
scratch=$(mktemp -d)
chown 65534:65534 "$scratch"
trap 'rm -rf "$scratch"' EXIT
TMPDIR=$scratch HOME=$scratch "${as_nobody[@]}" "$program" "$@"
