#!/usr/bin/env bash
# A window at rest costs next to nothing; a playing clip still runs at
# full rate. CPU is read from /proc over two seconds in each state.
set -euo pipefail
program="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

root="$E2E_HOME/Clips"
mkdir -p "$root"
cp "$media/gop8.mp4" "$root/clip.mp4"
ticks() { awk '{print $14 + $15}' "/proc/$APP_PID/stat"; }
# Percent of one core the program used over two seconds.
cpu_over_2s() {
  local before after
  before="$(ticks)"
  sleep 2
  after="$(ticks)"
  echo $(( (after - before) * 100 / (2 * $(getconf CLK_TCK)) ))
}

mkdir -p "$E2E_HOME/bin"
HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove 5 5  # the pointer off the window, as a user who works elsewhere
sleep 2
rest="$(cpu_over_2s)"
echo "at rest: $rest % of a core"
[[ "$rest" -le 5 ]] || { echo "the window at rest used $rest % of a core" >&2; exit 1; }

# About: its animation runs, then it rests too.
xdotool key F6
sleep 3
about="$(cpu_over_2s)"
echo "About at rest: $about % of a core"
[[ "$about" -le 5 ]] || { echo "the About tab at rest used $about % of a core" >&2; exit 1; }

# A playing clip: its picture moves every frame.
xdotool key F1
sleep 0.5
xdotool mousemove $((X + 80)) $((Y + 55)) click 1
sleep 0.6
choose_in_own_chooser "$root"
sleep 1
xdotool key 2
sleep 0.5
xdotool mousemove 5 5
screenshot "$artefacts/idle-1-playing.png"
playing="$(cpu_over_2s)"
screenshot "$artefacts/idle-2-playing.png"
echo "playing: $playing % of a core"
# The left pane (picture and time) changed over those seconds.
picture() { region_md5 "$1" 620 560 $((X + 10)) $((Y + 120)); }
[[ "$(picture "$artefacts/idle-1-playing.png")" != "$(picture "$artefacts/idle-2-playing.png")" ]] ||
  { echo "the picture stood still while playing" >&2; exit 1; }
[[ "$playing" -ge $((rest + 10)) ]] || { echo "playing used only $playing % of a core: frames not drawn" >&2; exit 1; }

end_program
echo "idle: 1 passed, 0 failed"
