#!/usr/bin/env bash
# The player panel in a real window: a landscape and a portrait clip play,
# fitted with black bars on the right sides, and the picture and the time
# text move on from one second to the next.
set -euo pipefail
host="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

pixel() {  # pixel FILE X Y -> "R G B"
  ffmpeg -v error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
is_black() { read -r r g b <<<"$1"; (( r < 12 && g < 12 && b < 12 )); }

for clip in h264_aac.mp4:landscape portrait.mp4:portrait; do
  file="${clip%%:*}" shape="${clip#*:}"
  "$host" "$media/$file" < /dev/null > "$E2E_HOME/host.out" &
  APP_PID=$!
  window="$(wait_for_window 'Sortiq panel')"
  for _ in $(seq 100); do grep -q '^shown' "$E2E_HOME/host.out" && break; sleep 0.05; done
  read -r _ _ _ ix iy iw ih _ < <(grep '^shown' "$E2E_HOME/host.out")
  eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the window
  x0=$((X + ix)) y0=$((Y + iy))
  sleep 0.7
  first="$artefacts/panel-$shape-1.png" second="$artefacts/panel-$shape-2.png"
  screenshot "$first"
  sleep 1
  screenshot "$second"

  middle="$(pixel "$first" $((x0 + iw / 2)) $((y0 + ih / 2)))"
  if [[ "$shape" == portrait ]]; then
    bars=("$(pixel "$first" $((x0 + 4)) $((y0 + ih / 2)))" "$(pixel "$first" $((x0 + iw - 5)) $((y0 + ih / 2)))")
  else
    bars=("$(pixel "$first" $((x0 + iw / 2)) $((y0 + 2)))" "$(pixel "$first" $((x0 + iw / 2)) $((y0 + ih - 3)))")
  fi
  for bar in "${bars[@]}"; do
    is_black "$bar" || { echo "$shape: expected a black bar, found $bar" >&2; exit 1; }
  done
  is_black "$middle" && { echo "$shape: no picture in the middle" >&2; exit 1; }
  # The picture and the control row under it both change within a second.
  picture_a="$(region_md5 "$first" $((iw / 2)) $((ih / 2)) $((x0 + iw / 4)) $((y0 + ih / 4)))"
  picture_b="$(region_md5 "$second" $((iw / 2)) $((ih / 2)) $((x0 + iw / 4)) $((y0 + ih / 4)))"
  [[ "$picture_a" != "$picture_b" ]] || { echo "$shape: the picture did not move" >&2; exit 1; }
  row_a="$(region_md5 "$first" "$iw" 24 "$x0" $((y0 + ih + 6)))"
  row_b="$(region_md5 "$second" "$iw" 24 "$x0" $((y0 + ih + 6)))"
  [[ "$row_a" != "$row_b" ]] || { echo "$shape: the time text did not advance" >&2; exit 1; }

  kill -TERM "$APP_PID"
  wait "$APP_PID" || { echo "$shape: host did not end cleanly" >&2; exit 1; }
  APP_PID=""
done
echo "panel: 1 passed, 0 failed"
