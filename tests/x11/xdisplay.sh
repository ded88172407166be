#!/usr/bin/env bash
# CTest fixture: starts a private Xvfb display with openbox on it (start <state-folder>),
# or stops them (stop <state-folder>). The display name is written to <state-folder>/display
# so that several builds can test at the same time without picking the same number.
set -euo pipefail
cmd=$1
state=$2
mkdir -p "$state"
case "$cmd" in
start)
  if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
    exit 0
  fi
  rm -f "$state/displayfd"
  exec 3> "$state/displayfd"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset > "$state/xvfb.log" 2>&1 &
  echo $! > "$state/xvfb.pid"
  exec 3>&-
  for _ in $(seq 100); do
    [ -s "$state/displayfd" ] && break
    sleep 0.1
  done
  num=$(tr -dc '0-9' < "$state/displayfd")
  [ -n "$num" ] || { echo "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }
  echo ":$num" > "$state/display"
  DISPLAY=":$num" setsid openbox --sm-disable > "$state/openbox.log" 2>&1 &
  echo $! > "$state/openbox.pid"
  # openbox is ready when it has claimed the window manager check window.
  for _ in $(seq 100); do
    DISPLAY=":$num" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && exit 0
    sleep 0.1
  done
  echo "openbox did not start"; cat "$state/openbox.log"; exit 1
  ;;
stop)
  for p in openbox xvfb; do
    if [ -f "$state/$p.pid" ]; then
      kill "$(cat "$state/$p.pid")" 2>/dev/null || true
      rm -f "$state/$p.pid"
    fi
  done
  rm -f "$state/display" "$state/displayfd"
  ;;
esac
