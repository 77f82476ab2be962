#!/usr/bin/env bash
# Exit during a check that a server holds: the program is gone within BOUND_MS, and a start in
# the meantime becomes the new first copy instead of raising the dying one's window.
# Usage: exit_e2e.sh KAVREL BOUND_MS
set -euo pipefail
kavrel=$1
bound_ms=$2
work=$(mktemp -d /tmp/kavrel-exit-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: install xvfb xdotool python3 (make deps does)"; exit 1; }
done

export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/../ui" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$work/bin" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
# A copy of its own, so that its settings file lies in this folder and not beside the build's.
cp "$kavrel" "$work/bin/kavrel"

# A server that takes connections and never says a word.
python3 - "$work/port" "$work/accepted" <<'EOF' &
import os, socket, sys
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(8)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
held = []
while True:
    connection, _ = listener.accept()
    held.append(connection)
    with open(sys.argv[2], "a") as f:
        f.write("accepted\n")
EOF
pids+=($!)
for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.05; done
printf '[accounts]\nserver1=127.0.0.1:%s\naccount1=ann\npw1=secret\nactive1=Y\n' \
  "$(cat "$work/port")" >"$work/bin/kavrel.ini"

source "$(dirname "$0")/../support/private_x_server.sh"
start_x_server "$work" || { pids+=("$X_SERVER_PID"); exit 1; }
pids+=("$X_SERVER_PID")

window_of() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^Kavrel v1.5$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

QT_QPA_PLATFORM=xcb "$work/bin/kavrel" >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")
main_window=$(window_of)
[ -n "$main_window" ] || { echo "the main window did not appear"; cat "$work/first.log"; exit 1; }

xdotool windowfocus --sync "$main_window" key ctrl+n
for _ in $(seq 100); do [ -s "$work/accepted" ] && break; sleep 0.05; done
[ -s "$work/accepted" ] || { echo "Check Now did not reach the server"; cat "$work/first.log"; exit 1; }
sleep 0.3  # the check now waits for a greeting that never comes

start=$(date +%s%N)
xdotool key --window "$main_window" ctrl+q
# The second start follows the first copy's giving up of its lock: one that came before the
# key press was handled would rightly be answered by the first copy, which still ran then.
for _ in $(seq 500); do compgen -G "$XDG_RUNTIME_DIR/*.lock" >/dev/null || break; sleep 0.002; done
QT_QPA_PLATFORM=xcb "$work/bin/kavrel" >"$work/second.log" 2>&1 &
second=$!
pids+=("$second")
while kill -0 "$first" 2>/dev/null; do
  [ $(( ($(date +%s%N) - start) / 1000000 )) -lt 10000 ] || break
  sleep 0.02
done
took=$(( ($(date +%s%N) - start) / 1000000 ))
if kill -0 "$first" 2>/dev/null; then
  echo "the program was still running $took ms after Ctrl+Q"; cat "$work/first.log"; exit 1
fi
echo "Ctrl+Q during a held check: gone after $took ms (bound $bound_ms ms)"
[ "$took" -le "$bound_ms" ] || { cat "$work/first.log"; exit 1; }

# Had the dying copy answered, the second start would have ended at once.
[ -n "$(window_of)" ] && kill -0 "$second" 2>/dev/null || {
  echo "the start during the exit did not become the new first copy"; cat "$work/second.log"; exit 1
}
echo "the start during the exit became the new first copy"
