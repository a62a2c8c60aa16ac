# Sourced by the end-to-end scripts: starts a private virtual display and
# stops it on exit. Sets DISPLAY, a private config folder and a silent audio
# driver.
start_virtual_display() {
  E2E_HOME="$(mktemp -d)"
  export XDG_CONFIG_HOME="$E2E_HOME/config" XDG_DATA_HOME="$E2E_HOME/data" SDL_AUDIODRIVER=dummy
  trap stop_virtual_display EXIT
  local attempt
  for attempt in 1 2 3; do
    start_server && return 0
    echo "virtual display did not start (attempt $attempt); the server said:" >&2
    sed 's/^/  /' "$E2E_HOME/xvfb.log" >&2 || true
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  done
  return 1
}

# Xvfb picks a free display itself and writes its number: no race when
# several tests start displays at once. -noreset: by default the server
# starts over whenever its last client leaves, and a window opened during
# that (the next program of a test) fails to get a GL context. The display must answer twice, some
# time apart, so that a server that dies at once is not taken.
start_server() {
  local number_file="$E2E_HOME/display-number"
  : >"$number_file"
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$number_file" >"$E2E_HOME/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 200); do
    [[ -s "$number_file" ]] && break
    sleep 0.05
  done
  [[ -s "$number_file" ]] || return 1
  export DISPLAY=":$(tr -d '[:space:]' < "$number_file")"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
  done
  sleep 0.2
  xdpyinfo >/dev/null 2>&1
}

# Waits for the server to be gone: a server still shutting down removes its
# socket file by name, and would remove the socket of the next test's server
# if that one took the same display number meanwhile.
stop_virtual_display() {
  # A program stuck in a question box does not end on SIGTERM: after a
  # while it is killed, so that a failed test reports its failure instead
  # of running into the test's time limit.
  if [[ -n "${APP_PID:-}" ]]; then
    kill "$APP_PID" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$APP_PID" 2>/dev/null; then
      echo "the program did not end on SIGTERM within 5 s: killed" >&2
      kill -KILL "$APP_PID" 2>/dev/null || true
    fi
    wait "$APP_PID" 2>/dev/null || true
  fi
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  [[ -n "${E2E_HOME:-}" ]] && rm -rf "$E2E_HOME"
}

screenshot() {  # screenshot FILE
  ffmpeg -loglevel error -y -f x11grab -video_size 1600x1000 -i "$DISPLAY" -frames:v 1 "$1"
}

wait_for_window() {  # wait_for_window TITLE -> prints the window id
  local id=""
  for _ in $(seq 200); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [[ -n "$id" ]] && break
    sleep 0.05
  done
  [[ -n "$id" ]] || { echo "window '$1' did not appear" >&2; report_display; return 1; }
  echo "$id"
}

report_display() {  # what the virtual display was doing when a test failed
  if xdpyinfo >/dev/null 2>&1; then echo "  display $DISPLAY still answers" >&2
  else echo "  display $DISPLAY no longer answers" >&2; fi
  sed 's/^/  xvfb: /' "$E2E_HOME/xvfb.log" >&2 || true
}

# In the program's own folder chooser (just opened by " Scan Root Folder"):
# selects all of its text box with ctrl+a held as a hand holds it (a press
# and release of ctrl within one frame reaches the box after the "a"),
# types the folder, Enter shows it, Enter again chooses it.
choose_in_own_chooser() {  # choose_in_own_chooser FOLDER
  xdotool keydown ctrl; sleep 0.1; xdotool key a; sleep 0.1; xdotool keyup ctrl; sleep 0.1
  xdotool type --delay 15 "$1"
  xdotool key Return
  sleep 0.3
  xdotool key Return
}

region_md5() {  # region_md5 FILE W H X Y: a checksum of that part of a screenshot
  ffmpeg -v error -i "$1" -vf "crop=$2:$3:$4:$5" -f md5 - 2>/dev/null
}

# Ends the program as the desktop does (SIGTERM); it must exit with 0.
end_program() {
  kill -TERM "$APP_PID"
  local status=0
  wait "$APP_PID" || status=$?
  APP_PID=""
  [[ "$status" == 0 ]] || { echo "program exited with $status" >&2; exit 1; }
}
