#!/usr/bin/env bash
# Starts Kavrel on a private X server with an XEmbed tray host, takes a screenshot and checks
# that the tray icon is there in the highlight colour. Usage: tray_e2e.sh KAVREL ARTIFACT_DIR
set -euo pipefail
kavrel=$1
artifacts=$2
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/kavrel-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb trayer xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: install xvfb trayer xdotool imagemagick (make deps does)"; exit 1; }
done

export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
source "$(dirname "$0")/../support/private_x_server.sh"
start_x_server "$work" || { pids+=("$X_SERVER_PID"); exit 1; }
pids+=("$X_SERVER_PID")

trayer --edge top --align right --widthtype pixel --width 120 --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 0.5

QT_QPA_PLATFORM=xcb "$kavrel" >"$work/kavrel.log" 2>&1 &
pids+=($!)
found=""
for _ in $(seq 100); do
  if xdotool search --name "^Kavrel v1.5$" >/dev/null 2>&1; then found=yes; break; fi
  sleep 0.1
done
[ -n "$found" ] || { echo "the main window did not appear"; cat "$work/kavrel.log"; exit 1; }
sleep 1
import -window root "$artifacts/tray-e2e.png"

# The tray host sits at the top right; the icon is a square of the highlight colour there.
expected=${KAVREL_HIGHLIGHT:-#308CC6}
count=$(convert "$artifacts/tray-e2e.png" -crop 120x24+680+0 -depth 8 txt:- | grep -ci "$expected" || true)
echo "highlight pixels in the tray: $count (screenshot: $artifacts/tray-e2e.png)"
if [ "$count" -lt 100 ]; then
  echo "the tray icon is missing or not in the highlight colour $expected"
  cat "$work/kavrel.log"
  exit 1
fi

# A second start ends at once and leaves the first copy running.
timeout 10 "$kavrel" >"$work/second.log" 2>&1 || { echo "the second start did not end cleanly"; exit 1; }
kill -0 "${pids[-1]}" || { echo "the first copy ended when the second started"; exit 1; }

# Started in the tray, only the icon shows; a second start brings the window forward.
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true
QT_QPA_PLATFORM=xcb "$kavrel" -tray >"$work/kavrel-tray.log" 2>&1 &
pids+=($!)
sleep 2
if xdotool search --onlyvisible --name "^Kavrel v1.5$" >/dev/null 2>&1; then
  echo "the -tray start showed its window"; exit 1
fi
timeout 10 "$kavrel" >"$work/second.log" 2>&1 || { echo "the second start did not end cleanly"; exit 1; }
shown=""
for _ in $(seq 50); do
  if xdotool search --onlyvisible --name "^Kavrel v1.5$" >/dev/null 2>&1; then shown=yes; break; fi
  sleep 0.1
done
[ -n "$shown" ] || { echo "the second start did not bring the window of the -tray copy forward"; cat "$work/kavrel-tray.log"; exit 1; }
echo "single instance: the second start ended and the first copy's window came forward"

# A dialog's title is its own caption, with nothing of the program's appended by the platform.
main_window=$(xdotool search --onlyvisible --name "^Kavrel v1.5$" | head -1)
xdotool windowfocus --sync "$main_window" key ctrl+s
dialog=""
for _ in $(seq 50); do
  dialog=$(xdotool search --onlyvisible --name "Settings" 2>/dev/null | head -1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || { echo "Ctrl+S did not open the settings dialog"; cat "$work/kavrel-tray.log"; exit 1; }
title=$(xdotool getwindowname "$dialog")
[ "$title" = "Settings" ] || { echo "the settings dialog is titled '$title', not 'Settings'"; exit 1; }
echo "the settings dialog is titled exactly 'Settings'"
