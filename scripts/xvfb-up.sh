#!/usr/bin/env bash
# Starts Xvfb on the given display unless it already runs there.
set -euo pipefail
display=${1:-:77}
num=${display#:}
exec 9>"/tmp/.sfx-xvfb-$num.flock"
flock 9
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  # Leftover lock of a dead server.
  if [ -f "/tmp/.X$num-lock" ] && ! kill -0 "$(tr -d ' ' < "/tmp/.X$num-lock")" 2>/dev/null; then
    rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
  fi
  # The server must not inherit the lock, or every later caller waits forever.
  setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 < /dev/null 9>&- &
  for _ in $(seq 1 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && exit 0
    sleep 0.1
  done
  echo "xvfb-up: Xvfb did not start on $display" >&2
  exit 1
fi
