#!/usr/bin/env bash
# Saves a PNG of an X display, or of one window on it.
#   screenshot.sh DISPLAY OUT.png [WINDOW-NAME-PATTERN]
# With a pattern, the first visible window whose name matches it
# (xdotool search --name) is captured; otherwise the whole screen.
set -euo pipefail
display=${1:?display, e.g. :77}
out=${2:?output PNG}
pattern=${3:-}
mkdir -p "$(dirname "$out")"
if [ -n "$pattern" ]; then
  id=$(DISPLAY="$display" xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
  if [ -z "$id" ]; then
    echo "screenshot: no window named '$pattern' on $display" >&2
    exit 1
  fi
  xwd -silent -display "$display" -id "$id" | convert xwd:- "$out"
else
  xwd -silent -root -display "$display" | convert xwd:- "$out"
fi
