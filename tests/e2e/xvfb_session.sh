# Sourced by the end-to-end scripts: starts a private virtual display and
# stops it on exit. Sets DISPLAY, a private config folder and a silent audio
# driver.
start_virtual_display() {
  # Xvfb picks a free display itself and writes its number: no race when
  # several tests start displays at once.
  local number_file
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 200); do
    [[ -s "$number_file" ]] && break
    sleep 0.05
  done
  export DISPLAY=":$(tr -d '[:space:]' < "$number_file")"
  rm -f "$number_file"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
  done
  xdpyinfo >/dev/null 2>&1 || { echo "virtual display did not start" >&2; return 1; }
  E2E_HOME="$(mktemp -d)"
  export XDG_CONFIG_HOME="$E2E_HOME/config" SDL_AUDIODRIVER=dummy
  trap stop_virtual_display EXIT
}

stop_virtual_display() {
  [[ -n "${APP_PID:-}" ]] && kill "$APP_PID" 2>/dev/null || true
  [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null || true
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
  [[ -n "$id" ]] || { echo "window '$1' did not appear" >&2; return 1; }
  echo "$id"
}
