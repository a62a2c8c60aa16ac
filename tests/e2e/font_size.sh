#!/usr/bin/env bash
# A font size picked in Settings applies in the real window and the window
# keeps drawing (text on screen before and after, and the new size larger).
set -euo pipefail
program="$1" artefacts="$2"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

# Spread of the grey levels over the top of the tab: text shows as spread,
# an empty window as none.
spread() {
  ffmpeg -v error -i "$1" -vf "crop=700:200:$((X + 5)):$((Y + 5))" -f rawvideo -pix_fmt gray - | od -An -v -tu1 |
    awk '{for (i = 1; i <= NF; i++) {s += $i; q += $i * $i; n++}} END {m = s / n; printf "%.0f\n", sqrt(q / n - m * m)}'
}

"$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
eval "$(xdotool getwindowgeometry --shell "$window")"
sleep 1
xdotool key F5
sleep 0.7
screenshot "$artefacts/font-1-settings.png"
before="$(spread "$artefacts/font-1-settings.png")"
(( before > 10 )) || { echo "font size: no text on the Settings tab" >&2; exit 1; }
xdotool mousemove $((X + 225)) $((Y + 80)) click 1  # "Large"
sleep 1
xdotool mousemove $((X + 600)) $((Y + 500))
sleep 0.5
screenshot "$artefacts/font-2-large.png"
after="$(spread "$artefacts/font-2-large.png")"
(( after > 10 )) || { echo "font size: the window is empty after the change" >&2; exit 1; }
region() { ffmpeg -v error -i "$1" -vf "crop=700:200:$X:$Y" -f md5 -; }
[[ "$(region "$artefacts/font-1-settings.png")" != "$(region "$artefacts/font-2-large.png")" ]] ||
  { echo "font size: nothing changed" >&2; exit 1; }
kill -TERM "$APP_PID"
wait "$APP_PID" || { echo "font size: program did not end cleanly" >&2; exit 1; }
APP_PID=""
echo "font size: 1 passed, 0 failed"
