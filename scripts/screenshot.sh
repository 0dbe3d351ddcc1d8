#!/usr/bin/env bash
# Takes a screenshot of Diskwell running under a virtual X server, for looking at the
# windows as a user would. Needs xvfb, xauth and imagemagick (not needed by the tests).
#   scripts/screenshot.sh OUT.png [SECONDS] [-- PROGRAM ARGS...]
set -euo pipefail
out=${1:?usage: screenshot.sh OUT.png [SECONDS] [-- PROGRAM ARGS...]}
shift
wait_s=${1:-3}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
prog=("$@")
[ ${#prog[@]} -eq 0 ] && prog=(build/src/app/diskwell)

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$@" &
  pid=$!
  sleep '"$wait_s"'
  import -window root "'"$out"'"
  kill $pid 2>/dev/null || true
' _ "${prog[@]}"
echo "wrote $out"
