#!/usr/bin/env bash
# The Classifier as a new user meets it, in a real window: pick a folder of
# clips, sort them with clicks and digit keys, rename one and undo it,
# delete one (Enter in the real question box keeps it, Yes deletes it),
# move one onto a disk too small for it (the history shows the failure in
# red and the file stays), then check the folder file by file. Screenshots
# are kept.
set -euo pipefail
program="$1" media="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

root="$E2E_HOME/Inbox 100%"
originals="$E2E_HOME/originals"
mkdir -p "$root/Beach" "$root/City" "$root/Zoo" "$root/.thumbnails" "$originals"
cp "$media/h264_aac.mp4" "$originals/clip one.mp4"
cp "$media/portrait.mp4" "$originals/Ünïcode two.mp4"
cp "$media/fmt_mp3.mp3" "$originals/song three.mp3"
cp "$media/picture.jpg" "$originals/photo four.jpg"
cp "$media/rotate90.mp4" "$originals/clip five.mp4"
cp "$originals"/* "$root/"
# A disk too small for any clip (only root may mount one).
tiny="$root/Zz tiny"
mkdir -p "$tiny"
mounted_tiny=0
if [[ "$(id -u)" == 0 ]] && mount -t tmpfs -o size=4k tmpfs "$tiny"; then
  mounted_tiny=1
  trap 'umount -l "$tiny" 2>/dev/null || true; stop_virtual_display' EXIT
fi

settle() { sleep "${1:-0.6}"; }
files_in() { find "$1" -maxdepth 1 -type f -printf '%f\n' | sort; }
count_in() { files_in "$1" | wc -l; }
fail() { screenshot "$artefacts/classifier-failed.png"; echo "$1" >&2; exit 1; }
# question_box CAPTION: the line of the question box with that caption, once
# it is on the screen (the window exists a while before it is mapped and
# drawn; a click meanwhile lands on the main window under it).
question_box() {
  local line=""
  for _ in $(seq 100); do
    line="$(xwininfo -root -tree | grep -F "\"$1\"" | head -1 || true)"
    if [[ -n "$line" ]] && xwininfo -id "$(awk '{print $1}' <<<"$line")" 2>/dev/null | grep -q IsViewable; then
      sleep 0.3
      echo "$line"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
# red_in_history SHOT: how many pixels of the history (the lower part of
# the window) are the red of a failure.
red_in_history() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1600:520:0:480" -f rawvideo -pix_fmt rgb24 - |
    python3 -c 'import sys; d=sys.stdin.buffer.read(); print(sum(1 for i in range(0, len(d), 3) if d[i] > 200 and d[i+1] < 130 and d[i+2] < 130))'
}
# The folder buttons sit on one row under the current file's action row.
click_folder() {  # click_folder X-OFFSET
  xdotool mousemove $((X + $1)) $((Y + 187)) click 1
  settle
}

mkdir -p "$E2E_HOME/bin"  # no desktop chooser: the own one
HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
APP_PID=$!
window="$(wait_for_window Sortiq)"
xdotool windowfocus --sync "$window" || true
eval "$(xdotool getwindowgeometry --shell "$window")"
settle 1
xdotool key F2
settle
xdotool mousemove $((X + 80)) $((Y + 55)) click 1  # " Scan Root Folder"
settle
choose_in_own_chooser "$root"
settle 1.5
screenshot "$artefacts/classifier-1-picked.png"

click_folder 40  # Beach
[[ "$(count_in "$root/Beach")" == 1 ]] || fail "the click on Beach moved nothing"
xdotool key 2  # skip one
settle
click_folder 92  # City
[[ "$(count_in "$root/City")" == 1 ]] || fail "the click on City moved nothing"
[[ "$(count_in "$root")" == 3 ]] || fail "three files should be left in the folder"
screenshot "$artefacts/classifier-2-sorted.png"

# Rename the current file: 5 opens the box with the name selected.
before="$(files_in "$root")"
xdotool key 5
settle
xdotool type --delay 15 "renamed clip.mp4"
xdotool key Return
settle
screenshot "$artefacts/classifier-3-renamed.png"
[[ -f "$root/renamed clip.mp4" ]] || fail "the rename did not happen"
renamed_from="$(comm -23 <(echo "$before") <(files_in "$root"))"
[[ -n "$renamed_from" ]] || fail "no file lost its name"

# Undo it from the history (its newest record is at the top).
xdotool mousemove $((X + 47)) $((Y + 459)) click 1
settle
screenshot "$artefacts/classifier-4-undone.png"
[[ ! -e "$root/renamed clip.mp4" && -f "$root/$renamed_from" ]] || fail "undo did not give '$renamed_from' its name back"

# Delete the current file (the one just renamed back): the question box
# is the system's own; Yes is its first button.
xdotool key 4
box="$(question_box "$root/$renamed_from")" || fail "4 asked no question"
screenshot "$artefacts/classifier-5-question.png"
# Enter answers No: nothing is deleted. (Without a window manager the box
# gets the keyboard only when given it.)
xdotool windowfocus --sync "$(awk '{print $1}' <<<"$box")" 2>/dev/null || true
xdotool key Return
settle 1
[[ -f "$root/$renamed_from" ]] || fail "Enter in the question deleted '$renamed_from'"
xdotool key 4
box="$(question_box "$root/$renamed_from")" || fail "4 asked no question the second time"
read -r bx by < <(sed -E 's/.* [0-9]+x[0-9]+\+([0-9]+)\+([0-9]+) .*/\1 \2/' <<<"$box")
xdotool mousemove $((bx + 75)) $((by + 73)) click 1
settle 1
[[ ! -e "$root/$renamed_from" ]] || fail "Yes did not delete '$renamed_from'"

# The last file onto the tiny disk: the move fails, the history says so in
# red, and the file stays where it was, current.
if ((mounted_tiny)); then
  screenshot "$artefacts/classifier-6-before-tiny.png"
  red_before="$(red_in_history "$artefacts/classifier-6-before-tiny.png")"
  last="$(files_in "$root")"
  click_folder 205  # Zz tiny
  settle 1
  screenshot "$artefacts/classifier-7-failed-move.png"
  red_after="$(red_in_history "$artefacts/classifier-7-failed-move.png")"
  [[ "$(files_in "$root")" == "$last" ]] || fail "the failed move lost the file"
  [[ "$(count_in "$tiny")" == 0 ]] || fail "something was left on the tiny disk"
  ((red_after > red_before + 40)) || fail "the failed move shows no failure in the history ($red_before -> $red_after red pixels)"
else
  echo "classifier: no tiny disk (mounting needs root): the failed move is not tried"
fi

click_folder 141  # Zoo: the last file
settle
screenshot "$artefacts/classifier-8-done.png"

# File by file: each folder holds one file, the root the skipped one, and
# every file left is byte for byte one of the originals under its name.
[[ "$(count_in "$root/Beach") $(count_in "$root/City") $(count_in "$root/Zoo") $(count_in "$root")" == "1 1 1 1" ]] ||
  fail "wrong counts: $(find "$root" -type f | sort)"
while IFS= read -r path; do
  name="$(basename "$path")"
  cmp -s "$path" "$originals/$name" || fail "'$path' is not the original '$name'"
done < <(find "$root" -type f -not -path '*/.thumbnails/*')
[[ -z "$(find "$root" -name '.sortiq-move-*')" ]] || fail "a temporary file was left behind"
[[ ! -e "$root/renamed clip.mp4" ]] || fail "the renamed name is still there"

end_program
echo "classifier: 1 passed, 0 failed"
