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

child=
xvfb=
dir=
cleanup() {
  if [ -n "$child" ]; then kill "$child" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  if [ -n "$dir" ]; then rm -rf "$dir"; fi
}
trap cleanup EXIT
# A time-out's signal ends the test and the display with it.
trap 'exit 143' TERM INT

if [ -z "${DISPLAY:-}" ]; then
  dir=$(mktemp -d)
  # Its output goes to a file: a server left holding the test's output
  # would keep ctest waiting.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  xvfb=$!
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
. "$(dirname "$0")/../support/premature-exit.sh"
premature_exit_arm
# In the background, so that a signal is taken while the test runs.
"$wine_run" --prefix "$prefix" "$@" &
child=$!
status=0
wait "$child" || status=$?
child=
premature_exit_judge "$status"
