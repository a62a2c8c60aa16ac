#!/usr/bin/env bash
# The Viewer as a new user meets it, in a real window: pick a root with the
# program's own folder chooser (no desktop chooser on PATH), see the list,
# play an entry, press 2 and 4, filter, reveal. Screenshots are kept.
set -euo pipefail
program="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

root="$E2E_HOME/Media Library"
mkdir -p "$root/Trips/2024, summer" "$root/.thumbnails" "$root/Música"
cp "$media/h264_aac.mp4" "$root/Trips/2024, summer/beach 100%.mp4"
cp "$media/portrait.mp4" "$root/Música/Ünïcode clip.mp4"
cp "$media/audio_only.m4a" "$root/song.m4a"
cp "$media/h264_aac.mp4" "$root/$(printf 'bad\xffname.mp4')"
cp "$media/h264_aac.mp4" "$root/.thumbnails/hidden.mp4"
mkdir -p "$E2E_HOME/bin"  # no folder chooser: the program's own; a recording file manager
cat > "$E2E_HOME/bin/dbus-send" <<EOS
#!/bin/sh
for a in "\$@"; do printf '%s\\n' "\$a"; done > "$E2E_HOME/revealed"
EOS
chmod +x "$E2E_HOME/bin/dbus-send"

changed() {  # changed BEFORE AFTER: the window's content differs
  [[ "$(region_md5 "$1" 1280 800 "$X" "$Y")" != "$(region_md5 "$2" 1280 800 "$X" "$Y")" ]]
}
settle() { sleep "${1:-0.6}"; }
# The current file's name, as the left pane's first line shows it.
header() { region_md5 "$1" 620 18 $((X + 10)) $((Y + 84)); }

HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
xdotool windowfocus --sync "$window" || true
eval "$(xdotool getwindowgeometry --shell "$window")"
settle 1
screenshot "$artefacts/viewer-0-start.png"

# " Scan Root Folder" sits at the top left of the tab.
xdotool mousemove $((X + 80)) $((Y + 55)) click 1
settle
screenshot "$artefacts/viewer-1-chooser.png"
# The box holds the home folder's path: replaced by the root.
choose_in_own_chooser "$root"
settle 1.2
screenshot "$artefacts/viewer-2-listed.png"
changed "$artefacts/viewer-1-chooser.png" "$artefacts/viewer-2-listed.png" || { echo "no list after picking" >&2; exit 1; }

# Play the first row of the list (its play button), then Next File and Play Random.
xdotool mousemove $((X + 674)) $((Y + 138)) click 1
settle 1
screenshot "$artefacts/viewer-3-playing.png"
changed "$artefacts/viewer-2-listed.png" "$artefacts/viewer-3-playing.png" || { echo "playing changed nothing" >&2; exit 1; }
xdotool key 2
settle 1
screenshot "$artefacts/viewer-4-next.png"
[[ "$(header "$artefacts/viewer-3-playing.png")" != "$(header "$artefacts/viewer-4-next.png")" ]] ||
  { echo "2 did not go to the next file" >&2; exit 1; }
# A random pick may land on the current file again: a few tries must move.
moved=no
for try in 1 2 3 4 5 6; do
  xdotool key 4
  settle 1
  screenshot "$artefacts/viewer-5-random.png"
  if [[ "$(header "$artefacts/viewer-4-next.png")" != "$(header "$artefacts/viewer-5-random.png")" ]]; then moved=yes; break; fi
done
[[ "$moved" == yes ]] || { echo "4 never played another file" >&2; exit 1; }

# Filter: the box at the top of the right pane.
xdotool mousemove $((X + 971)) $((Y + 97)) click 1
xdotool type --delay 15 "summer"
settle
screenshot "$artefacts/viewer-6-filtered.png"
changed "$artefacts/viewer-5-random.png" "$artefacts/viewer-6-filtered.png" || { echo "filtering changed nothing" >&2; exit 1; }

# Reveal the current file: the file manager is asked for it by its file URI.
# The one row left is played first (which also leaves the filter box).
xdotool mousemove $((X + 674)) $((Y + 138)) click 1
settle
xdotool key 3
settle
kill -0 "$APP_PID" || { echo "program ended on reveal" >&2; exit 1; }
screenshot "$artefacts/viewer-7-revealed.png"
uri="$(grep '^array:string:file://' "$E2E_HOME/revealed" | sed 's|^array:string:file://||')" ||
  { echo "3 asked no file manager" >&2; exit 1; }
revealed="$(printf '%b' "$(printf '%s' "$uri" | sed 's/%/\\x/g')")"
[[ "$revealed" == "$root/Trips/2024, summer/beach 100%.mp4" ]] ||
  { echo "3 revealed '$revealed', not the current file" >&2; exit 1; }

end_program
echo "viewer: 1 passed, 0 failed"
