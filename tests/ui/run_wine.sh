#!/usr/bin/env bash
# Runs the dialog tests under Wine: the windows need an X display (the one
# in DISPLAY, else a private Xvfb for this run), and line_peer.py maps COM1
# into the prefix and plays the controller's end of it.
#
#   run_wine.sh PYTHON LINE_PEER PREFIX WORK_DIR EMULATOR... program.exe
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
python=$1
peer=$2
prefix=$3
work=$4
shift 4
emulator=("${@:1:$#-1}")
# The prefix draws its own window frames: with no window manager on the
# display, Wine would otherwise wait for one at every hiding.
"${emulator[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
. "$(dirname "$0")/../support/premature-exit.sh"
premature_exit_arm
status=0
"$python" "$peer" --prefix "$prefix" --work-dir "$work" --port 1 -- "$@" || status=$?
premature_exit_judge "$status"
