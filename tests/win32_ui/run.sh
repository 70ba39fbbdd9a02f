#!/usr/bin/env bash
# Runs the Win32 dialog tests under Wine with an X display: the one in
# DISPLAY if set, otherwise a private Xvfb started here and stopped after.
# The prefix draws its own window frames (Managed=N): with no window manager
# on the display, Wine would otherwise wait for one at every hiding.
#
#   run.sh WINE_RUN PREFIX program.exe [arguments...]
set -euo pipefail
wine_run=$1
prefix=$2
shift 2

if [ -z "${DISPLAY:-}" ]; then
  dir=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
  # Xvfb writes its display number once it accepts connections.
  for _ in $(seq 300); do
    [ -s "$dir/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || { cat "$dir/xvfb.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$dir/display" ] || { echo "run.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$(head -n1 "$dir/display")
fi

"$wine_run" --prefix "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
"$wine_run" --prefix "$prefix" "$@"
