#!/usr/bin/env bash
# Opens the settings dialog on a private X server: it must come up centred, be kept as a
# screenshot, remember where it was moved to when closed, and come back there at its size.
# Usage: settings_e2e.sh SETTINGS_PROBE ARTIFACT_DIR
set -euo pipefail
probe=$1
artifacts=$2
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/kavrel-settings-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing $tool: install xvfb xdotool imagemagick (make deps does)"; exit 1; }
done

export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=xcb
# In the sanitizer build: a leak inside the session bus library is not ours to fix.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$work/settings" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
source "$(dirname "$0")/../support/private_x_server.sh"
start_x_server "$work" || { pids+=("$X_SERVER_PID"); exit 1; }
pids+=("$X_SERVER_PID")

ini=$work/settings/kavrel.ini
cat >"$ini" <<'INI'
[accounts]
server1=pop.example.org
account1=ann
pw1=secret
active1=Y
server2=mail.example.net
account2=bob.smith
pw2=hunter2
active2=N
[general]
checkinterval=15
showonnewmail=Y
mailprogram=/usr/bin/thunderbird
newmailwave=/usr/share/sounds/new-mail.wav
INI

# Starts the dialog and prints its window id and geometry (X= Y= WIDTH= HEIGHT=).
open_dialog() {
  id=""
  # A probe that could not reach the display is started again (three tries): a display that
  # stopped answering fails in wait_for_display with the server's log.
  for _ in 1 2 3; do
    wait_for_display "$work"
    "$probe" "$work/settings" >>"$work/probe.log" 2>&1 &
    pids+=($!)
    probe_pid=$!
    for _ in $(seq 100); do
      id=$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -1 || true)
      [ -n "$id" ] && break
      kill -0 "$probe_pid" 2>/dev/null || break
      sleep 0.1
    done
    [ -n "$id" ] && break
    grep -q "could not connect to display" "$work/probe.log" || break
    echo "the probe could not reach $DISPLAY; starting it again"
  done
  [ -n "$id" ] || {
    echo "the settings dialog did not appear"; cat "$work/probe.log" "$work/xvfb.log"; exit 1
  }
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$id")"
}

# Escape closes the dialog; closing saves.
close_dialog() {
  xdotool windowfocus --sync "$id" key Escape
  for _ in $(seq 100); do kill -0 "$probe_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$probe_pid" 2>/dev/null; then echo "the dialog did not close"; exit 1; fi
  wait "$probe_pid" || { echo "the dialog failed to save"; cat "$work/probe.log"; exit 1; }
}

open_dialog
import -window root "$artifacts/settings-dialog.png"
echo "dialog at $X,$Y size ${WIDTH}x$HEIGHT (screenshot: $artifacts/settings-dialog.png)"
size="${WIDTH}x$HEIGHT"
dx=$((X + WIDTH / 2 - 400)); dy=$((Y + HEIGHT / 2 - 300))
if [ "${dx#-}" -gt 2 ] || [ "${dy#-}" -gt 2 ]; then
  echo "a first opening is not centred on the 800x600 screen"; exit 1
fi
if [ "$WIDTH" -lt 469 ] || [ "$HEIGHT" -lt 299 ]; then
  echo "the dialog is smaller than its designed 469x299"; exit 1
fi

xdotool windowmove --sync "$id" 40 50
close_dialog
grep -q '^NormPos(800x600)=40,50,' "$ini" || { echo "the moved place was not saved"; cat "$ini"; exit 1; }
grep -q '^checkinterval=15$' "$ini" || { echo "the settings were not saved"; cat "$ini"; exit 1; }

open_dialog
if [ "$X,$Y" != "40,50" ] || [ "${WIDTH}x$HEIGHT" != "$size" ]; then
  echo "reopened at $X,$Y ${WIDTH}x$HEIGHT instead of 40,50 $size"; exit 1
fi
close_dialog
echo "the dialog reopened where it was moved to, at its size"
