# Sourced by the screen tests. start_x_server WORK_DIR starts Xvfb on a display it picks
# itself and returns once that display accepts clients, with DISPLAY exported and the
# server's pid in X_SERVER_PID. A fixed display number and a socket file are not enough:
# a busy machine can take seconds between the two, and another test may hold the number.
# -noreset: by default the server resets when its last client leaves, and a program that
# connects during the reset may fail with "could not connect to display".
start_x_server() {
  local work=$1 ready=$1/x-display
  : >"$ready"
  Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$ready" >"$work/xvfb.log" 2>&1 &
  X_SERVER_PID=$!
  local n
  for _ in $(seq 600); do
    n=$(head -1 "$ready")
    [ -n "$n" ] && break
    kill -0 "$X_SERVER_PID" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$n" ]; then
    echo "the X server did not start within 30 s:"; cat "$work/xvfb.log"; return 1
  fi
  export DISPLAY=":$n"
}

# Returns once the display answers a client (at most 30 s); otherwise says why and fails.
wait_for_display() {
  local work=$1
  for _ in $(seq 300); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the X server on $DISPLAY stopped answering:"; cat "$work/xvfb.log"; return 1
}
