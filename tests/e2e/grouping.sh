#!/usr/bin/env bash
# Similarity and Grouping as a new user meets them, in a real window: a tree
# of downloads with copies in other containers and bracket styles among
# many other files; the groups show; a delete in each tab, answered Yes in
# the real question box, removes exactly that file. Screenshots are kept.
set -euo pipefail
program="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

root="$E2E_HOME/Downloads"
mkdir -p "$root/old.stuff" "$root/music/copies"
cp "$media/h264_aac.mp4" "$root/Cat video [X9yZ8wV7uT6].mp4"
cp "$media/h264_aac.mp4" "$root/old.stuff/Cat video - X9yZ8wV7uT6.webm"
cp "$media/portrait.mp4" "$root/Cat video (X9yZ8wV7uT6).mkv"
cp "$media/fmt_mp3.mp3" "$root/music/Song 1234567890123456789.mp3"
cp "$media/fmt_mp3.mp3" "$root/music/copies/Song_1234567890123456789.m4a"
for i in $(seq 300); do : > "$root/music/track $i unique$(printf '%05d' "$i")x.mp3"; done
duplicates=("$root/Cat video [X9yZ8wV7uT6].mp4" "$root/old.stuff/Cat video - X9yZ8wV7uT6.webm"
            "$root/Cat video (X9yZ8wV7uT6).mkv" "$root/music/Song 1234567890123456789.mp3"
            "$root/music/copies/Song_1234567890123456789.m4a")

settle() { sleep "${1:-0.6}"; }
fail() { screenshot "$artefacts/grouping-failed.png"; echo "$1" >&2; exit 1; }
left() { local n=0 f; for f in "${duplicates[@]}"; do [[ -e "$f" ]] && n=$((n + 1)); done; echo "$n"; }
pick_root() {
  xdotool mousemove $((X + 80)) $((Y + 55)) click 1  # " Scan Root Folder"
  settle
  choose_in_own_chooser "$root"
  settle 1.5
}
# Answers the question box that names the file: Yes is its first button.
answer_yes() {
  local box=""
  for _ in $(seq 50); do
    box="$(xwininfo -root -tree | grep -F "Are-you" | head -1 || true)"
    [[ -z "$box" ]] && box="$(xwininfo -root -tree | grep -F "\"$root/" | head -1 || true)"
    [[ -n "$box" ]] && break
    sleep 0.1
  done
  [[ -n "$box" ]] || fail "no question was asked"
  read -r bx by < <(sed -E 's/.* [0-9]+x[0-9]+\+([0-9]+)\+([0-9]+) .*/\1 \2/' <<<"$box")
  xdotool mousemove $((bx + 75)) $((by + 73)) click 1
  settle 1
}

mkdir -p "$E2E_HOME/bin"
HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
xdotool windowfocus --sync "$window" || true
eval "$(xdotool getwindowgeometry --shell "$window")"
settle 1

# Similarity: two groups of copies among 300 other files.
xdotool key F3
settle
screenshot "$artefacts/grouping-1-similarity-empty.png"
pick_root
screenshot "$artefacts/grouping-2-similarity.png"
list() { region_md5 "$1" 800 200 $((X + 10)) $((Y + 95)); }
[[ "$(list "$artefacts/grouping-1-similarity-empty.png")" != "$(list "$artefacts/grouping-2-similarity.png")" ]] ||
  fail "no groups of copies showed"
# The first row's delete button.
xdotool mousemove $((X + 108)) $((Y + 130)) click 1
answer_yes
screenshot "$artefacts/grouping-3-similarity-deleted.png"
[[ "$(left)" == 4 ]] || fail "the delete in Similarity removed $((5 - $(left))) files, not one"

# Grouping: filter to the identifier's tag, open it, delete its first file.
xdotool key F4
settle
pick_root
screenshot "$artefacts/grouping-4-grouping.png"
xdotool mousemove $((X + 400)) $((Y + 89)) click 1  # the tag filter
xdotool type --delay 15 "x9yz8wv7ut6"
settle
xdotool mousemove $((X + 60)) $((Y + 131)) click 1  # open the only group left
settle
screenshot "$artefacts/grouping-5-group-open.png"
before="$(left)"
xdotool mousemove $((X + 108)) $((Y + 165)) click 1  # its first file's delete button
answer_yes
screenshot "$artefacts/grouping-6-grouping-deleted.png"
[[ "$(left)" == $((before - 1)) ]] || fail "the delete in Grouping removed $((before - $(left))) files, not one"
[[ "$(find "$root/music" -name 'track *' | wc -l)" == 300 ]] || fail "other files were touched"

end_program
echo "grouping: 1 passed, 0 failed"
