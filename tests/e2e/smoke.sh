#!/usr/bin/env bash
# The real program in a real window: it opens, draws its tab bar, switches
# tabs with F1 to F6 and exits 0 when its window is closed. Screenshots are
# kept in the artefact folder.
set -euo pipefail
program="$1" closer="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

"$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
xdotool windowfocus --sync "$window" || true
sleep 1
# The first frames may still be on their way (glyphs, layout): the picture
# counts as settled once three shots in a row, over most of a second, agree.
screenshot "$artefacts/smoke-start.png"
agreeing=0
for _ in $(seq 40); do
  sleep 0.4
  screenshot "$artefacts/smoke-next.png"
  if cmp -s "$artefacts/smoke-next.png" "$artefacts/smoke-start.png"; then
    agreeing=$((agreeing + 1))
    [[ "$agreeing" -ge 2 ]] && break
  else
    agreeing=0
    mv "$artefacts/smoke-next.png" "$artefacts/smoke-start.png"
  fi
done
rm -f "$artefacts/smoke-next.png"

# Screenshots until one differs from (or, with "same", equals) a reference;
# the program draws at its own pace, so give it a few seconds.
shoot_until() {  # shoot_until FILE REFERENCE differ|same
  for _ in $(seq 60); do
    screenshot "$1"
    if [[ "$3" == differ ]] && ! cmp -s "$1" "$2"; then return 0; fi
    if [[ "$3" == same ]] && cmp -s "$1" "$2"; then return 0; fi
    sleep 0.15
  done
  return 1
}

# The box around the pixels in which two screenshots differ, for the log.
differing_box() {  # differing_box A.png B.png
  python3 - "$1" "$2" <<'PYTHON' || true
import subprocess, sys
def pixels(path):
    return subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          check=True, capture_output=True).stdout
a, b = pixels(sys.argv[1]), pixels(sys.argv[2])
width = 1600
xs, ys = [], []
for i in range(0, min(len(a), len(b)), 3):
    if a[i:i + 3] != b[i:i + 3]:
        xs.append(i // 3 % width)
        ys.append(i // 3 // width)
print(f"  {len(xs)} pixels, x {min(xs)}..{max(xs)}, y {min(ys)}..{max(ys)}" if xs else "  none")
PYTHON
}

previous="$artefacts/smoke-start.png"
for key in 2 3 4 5 6 1; do
  xdotool key --clearmodifiers "F$key"
  shot="$artefacts/smoke-F$key.png"
  if [[ "$key" == 1 ]]; then
    # F1 brings back the Viewer exactly as it started.
    shoot_until "$shot" "$artefacts/smoke-start.png" same || {
      echo "F1 did not return to the Viewer; where the two pictures differ:" >&2
      differing_box "$shot" "$artefacts/smoke-start.png" >&2
      exit 1
    }
  else
    shoot_until "$shot" "$previous" differ || { echo "F$key changed nothing on screen" >&2; exit 1; }
  fi
  if [[ "$key" == 6 ]]; then
    sleep 2.5  # the About animation has ended: its final layout
    screenshot "$artefacts/smoke-about.png"
    shot="$artefacts/smoke-about.png"
  fi
  previous="$shot"
done

"$closer" "$window"
status=0
wait "$APP_PID" || status=$?
APP_PID=""
if [[ "$status" != 0 ]]; then
  echo "program exited with $status after its window was closed" >&2
  exit 1
fi
# SIGTERM ends it cleanly too.
"$program" &
APP_PID=$!
wait_for_window Sortiq >/dev/null
kill -TERM "$APP_PID"
status=0
wait "$APP_PID" || status=$?
APP_PID=""
[[ "$status" == 0 ]] || { echo "program exited with $status on SIGTERM" >&2; exit 1; }
# No window can be made: exit code 1, at once.
status=0
SDL_VIDEODRIVER=dummy timeout 20 "$program" 2>"$E2E_HOME/start.err" || status=$?
[[ "$status" == 1 ]] || { echo "program without a drawing context exited with $status, not 1" >&2; exit 1; }
grep -q "no window" "$E2E_HOME/start.err" || { echo "program without a drawing context said nothing" >&2; exit 1; }
status=0
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$program" 2>/dev/null || status=$?
[[ "$status" == 1 ]] || { echo "program without a display exited with $status, not 1" >&2; exit 1; }
echo "smoke: 1 passed, 0 failed"
