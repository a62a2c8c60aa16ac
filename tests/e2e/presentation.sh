#!/usr/bin/env bash
# Pictures in a real window, checked by their pixels on screen: a clip with
# a quarter turn shows upright, non-square pixels at their display shape, a
# one-pixel picture as a clean block of its colour, transparency over black,
# fine lines of a 4K clip shrunk smoothly, a still picture without a seek
# bar, and a video after a sound file still plays.
set -euo pipefail
host="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
rm -f "$artefacts"/presentation-*.png
start_virtual_display
cd "$E2E_HOME"

fail() { echo "presentation: $*" >&2; exit 1; }
pixel() {  # pixel FILE X Y -> "R G B"
  ffmpeg -v error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
# Mean and spread of the grey levels of a W x H region.
grey_stats() {  # grey_stats FILE W H X Y -> "mean stddev"
  ffmpeg -v error -i "$1" -vf "crop=$2:$3:$4:$5" -f rawvideo -pix_fmt gray - | od -An -v -tu1 |
    awk '{for (i = 1; i <= NF; i++) {s += $i; q += $i * $i; n++}} END {m = s / n; printf "%.0f %.0f\n", m, sqrt(q / n - m * m)}'
}
is() {  # is "R G B" r g b tolerance
  read -r r g b <<<"$1"
  (( r >= $2 - $5 && r <= $2 + $5 && g >= $3 - $5 && g <= $3 + $5 && b >= $4 - $5 && b <= $4 + $5 ))
}

mkfifo "$E2E_HOME/commands"
"$host" "$media/rotate90.mp4" < "$E2E_HOME/commands" > "$E2E_HOME/host.out" &
APP_PID=$!
exec 4>"$E2E_HOME/commands"
window="$(wait_for_window 'Sortiq panel')"
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the window
shots=0

# show FILE: plays it (the first is already playing), waits until drawn,
# takes a screenshot; sets shot, x0 y0 w h (screen) and seekbar, still.
show() {
  local name="$1" count
  count="$(grep -c '^shown' "$E2E_HOME/host.out" || true)"
  (( shots == 0 )) || echo "play $media/$name" >&4
  for _ in $(seq 200); do
    (( $(grep -c '^shown' "$E2E_HOME/host.out" || true) > (shots == 0 ? 0 : count) )) && break
    sleep 0.05
  done
  read -r _ _ _ ix iy w h _ seekbar _ still < <(grep '^shown' "$E2E_HOME/host.out" | tail -1)
  x0=$((X + ix)) y0=$((Y + iy))
  sleep 0.5
  shots=$((shots + 1))
  shot="$artefacts/presentation-$shots-${name%%.*}.png"
  screenshot "$shot"
}

# A quarter turn clockwise: portrait, with the source's red top-left corner
# at the top right.
show rotate90.mp4
(( h > 0 )) || fail "rotate90: no picture"
pw=$((h * 180 / 320)) left=$((x0 + (w - h * 180 / 320) / 2))
is "$(pixel "$shot" $((left + pw * 3 / 4)) $((y0 + h / 4)))" 255 0 0 40 || fail "rotate90: top right is not red"
is "$(pixel "$shot" $((left + pw / 4)) $((y0 + h / 4)))" 0 0 255 60 || fail "rotate90: top left is not blue"
is "$(pixel "$shot" $((x0 + 3)) $((y0 + h / 2)))" 0 0 0 12 || fail "rotate90: no bar at the left"

# A phone photo turned by its EXIF orientation: the same as the clip.
show exif_rot6.jpg
[[ "$still" == yes ]] || fail "exif_rot6: not shown as a still"
pw=$((h * 360 / 640)) left=$((x0 + (w - h * 360 / 640) / 2))
is "$(pixel "$shot" $((left + pw * 3 / 4)) $((y0 + h / 4)))" 255 0 0 40 || fail "exif_rot6: top right is not red"
is "$(pixel "$shot" $((left + pw / 4)) $((y0 + h / 4)))" 0 0 255 60 || fail "exif_rot6: top left is not blue"

# 352 x 288 with 16:11 pixels: the square drawn in it shows 16:11 wide.
show sar16_11.mp4
row="$(ffmpeg -v error -i "$shot" -vf "crop=$w:1:$x0:$((y0 + h / 2))" -f rawvideo -pix_fmt gray - | od -An -v -tu1 |
  awk '{for (i = 1; i <= NF; i++) if ($i > 128) n++} END {print n + 0}')"
column="$(ffmpeg -v error -i "$shot" -vf "crop=1:$h:$((x0 + w / 2)):$y0" -f rawvideo -pix_fmt gray - | od -An -v -tu1 |
  awk '{for (i = 1; i <= NF; i++) if ($i > 128) n++} END {print n + 0}')"
(( column > 20 )) || fail "sar16_11: no square found"
ratio=$((row * 100 / column))
(( ratio >= 138 && ratio <= 153 )) || fail "sar16_11: the square is $row x $column on screen, not 16:11"

# One red pixel blown up: red to the edges of its square, no dark fringe.
show one_pixel.png
[[ "$still" == yes && "$seekbar" == no ]] || fail "one_pixel: not shown as a still ($still, seek bar $seekbar)"
side=$(( w < h ? w : h )) left=$((x0 + (w - side) / 2)) top=$((y0 + (h - side) / 2))
for spot in "$((left + 3)) $((top + 3))" "$((left + side / 2)) $((top + side / 2))" "$((left + side - 4)) $((top + side - 4))"; do
  is "$(pixel "$shot" $spot)" 255 0 0 30 || fail "one_pixel: not red at $spot"
done

# Transparent left half over black, opaque green right half.
show picture.png
side=$(( w < h ? w : h )) left=$((x0 + (w - side) / 2)) top=$((y0 + (h - side) / 2))
is "$(pixel "$shot" $((left + side / 4)) $((top + side / 2)))" 0 0 0 12 || fail "picture.png: transparent half is not black"
is "$(pixel "$shot" $((left + side * 3 / 4)) $((top + side / 2)))" 0 255 0 30 || fail "picture.png: opaque half is not green"

read -r r g b <<<"$(pixel "$shot" $((left + side / 2 - 1)) $((top + side / 2)))"
(( r < 60 )) || fail "picture.png: the hidden colour shows at the edge ($r $g $b)"

show picture.jpg
[[ "$still" == yes && "$seekbar" == no ]] || fail "picture.jpg: not shown as a still ($still, seek bar $seekbar)"

# 1-pixel black and white columns shrunk to well under half: an even grey.
show uhd.mp4
read -r mean spread < <(grey_stats "$shot" 200 40 $((x0 + w / 2 - 100)) $((y0 + h / 2)))
(( mean >= 90 && mean <= 170 && spread <= 25 )) || fail "uhd: shrunk lines are not an even grey (mean $mean, spread $spread)"

# A video after a sound file plays as a video: controls, and moving.
show h264_aac.mp4
show audio_only.m4a
show h264_aac.mp4
[[ "$still" == no && "$seekbar" == yes ]] || fail "video after sound: shown as a still ($still, seek bar $seekbar)"
first="$shot"
sleep 1
screenshot "$artefacts/presentation-moved.png"
a="$(ffmpeg -v error -i "$first" -vf "crop=$((w / 2)):$((h / 2)):$((x0 + w / 4)):$((y0 + h / 4))" -f md5 -)"
b="$(ffmpeg -v error -i "$artefacts/presentation-moved.png" -vf "crop=$((w / 2)):$((h / 2)):$((x0 + w / 4)):$((y0 + h / 4))" -f md5 -)"
[[ "$a" != "$b" ]] || fail "video after sound: the picture does not move"

exec 4>&-
kill -TERM "$APP_PID"
wait "$APP_PID" || fail "host did not end cleanly"
APP_PID=""
echo "presentation: 1 passed, 0 failed"
