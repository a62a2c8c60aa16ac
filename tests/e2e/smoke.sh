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
screenshot "$artefacts/smoke-start.png"

previous="$artefacts/smoke-start.png"
for key in 2 3 4 5 6 1; do
  xdotool key --clearmodifiers "F$key"
  sleep 0.5
  shot="$artefacts/smoke-F$key.png"
  screenshot "$shot"
  if cmp -s "$shot" "$previous"; then
    echo "F$key changed nothing on screen" >&2
    exit 1
  fi
  previous="$shot"
done
# F1 brings back the Viewer exactly as it started.
cmp -s "$artefacts/smoke-F1.png" "$artefacts/smoke-start.png" || { echo "F1 did not return to the Viewer" >&2; exit 1; }

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
echo "smoke: 1 passed, 0 failed"
