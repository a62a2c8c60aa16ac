#!/usr/bin/env bash
# CPU of one core the program uses over 10 s in each state, in a real
# window on a virtual display, against the same program drawing every
# frame (SORTIQ_FULL_RATE) as the reference, in the same run.
set -euo pipefail
program="$1" media="$2"
source "$(dirname "$0")/../tests/e2e/xvfb_session.sh"
start_virtual_display

ff() { ffmpeg -nostdin -y -loglevel error "$@"; }
mkdir -p "$E2E_HOME/video" "$E2E_HOME/sound"
ff -f lavfi -i testsrc2=size=640x360:rate=30:duration=60 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$E2E_HOME/video/clip.mp4"
ff -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -c:a aac "$E2E_HOME/sound/song.m4a"

ticks() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }
pick() {  # pick FOLDER in the Viewer and play its first file
  xdotool mousemove $((X + 80)) $((Y + 55)) click 1
  sleep 0.6
  choose_in_own_chooser "$1"
  sleep 1
  xdotool key 2
  sleep 1
}
# cpu STATE FULL_RATE: percent of a core over 10 s
cpu() {
  local state="$1"
  mkdir -p "$E2E_HOME/bin"
  if [[ "$2" == 1 ]]; then
    SORTIQ_FULL_RATE=1 HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
  else
    HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
  fi
  APP_PID=$!
  local window
  window="$(wait_for_window Sortiq)"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  sleep 1
  case "$state" in
    rest) ;;
    about) xdotool key F6; sleep 3 ;;
    paused) pick "$E2E_HOME/video"; xdotool mousemove $((X + 320)) $((Y + 400)) click 1; sleep 0.5 ;;
    sound) pick "$E2E_HOME/sound" ;;
    video) pick "$E2E_HOME/video" ;;
  esac
  xdotool mousemove 5 5
  sleep 0.5
  local before after
  before="$(ticks)"
  sleep 10
  after="$(ticks)"
  kill -TERM "$APP_PID"
  wait "$APP_PID" || true
  APP_PID=""
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.1f", t * 100 / (10 * hz) }'
}

for state in rest about paused sound video; do
  ours="$(cpu "$state" 0)"
  full="$(cpu "$state" 1)"
  awk -v s="$state" -v o="$ours" -v f="$full" 'BEGIN {
    target = (s == "rest" || s == "about" || s == "paused") ? "target under 2 % and 20 x less" : "target unchanged";
    printf "idle cpu %-7s: %5.1f %% of a core (every frame drawn: %5.1f %%, %s x less; %s)\n", s, o, f,
           (o > 0 ? sprintf("%.0f", f / o) : "inf"), target }'
done
