#!/usr/bin/env bash
# Names in other scripts in a real window: the Viewer lists files named in
# Japanese, Korean, Thai, Hebrew and Greek. Once with the system's fonts,
# once on a machine with none: the rows must differ (glyphs, not �), and the
# program must run and end cleanly either way. Screenshots are kept.
set -euo pipefail
program="$1" artefacts="$2"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display
cd "$E2E_HOME"

root="$E2E_HOME/Downloads"
mkdir -p "$root"
for name in "日本語のタイトル [dQw4w9WgXcQ].mp4" "한국어 노래.mkv" "เพลงไทย.mp3" "שיר עברי.webm" "Ελληνικά.jpg"; do
  : > "$root/$name"
done
mkdir -p "$E2E_HOME/bin" "$E2E_HOME/cache"
cat > "$E2E_HOME/no-fonts.conf" <<EOS
<?xml version="1.0"?>
<fontconfig><cachedir>$E2E_HOME/cache</cachedir></fontconfig>
EOS

# list_rows SHOT: a checksum of the rows of the list.
list_rows() { region_md5 "$1" 600 140 $((X + 700)) $((Y + 125)); }

show_list() {  # show_list SHOT [FONTCONFIG_FILE]
  if [[ -n "${2:-}" ]]; then
    HOME="$E2E_HOME" PATH="$E2E_HOME/bin" FONTCONFIG_FILE="$2" "$program" &
  else
    HOME="$E2E_HOME" PATH="$E2E_HOME/bin" "$program" &
  fi
  APP_PID=$!
  local window
  window="$(wait_for_window Sortiq)"
  xdotool windowfocus --sync "$window" || true
  eval "$(xdotool getwindowgeometry --shell "$window")"
  sleep 1
  xdotool mousemove $((X + 80)) $((Y + 55)) click 1
  sleep 0.6
  choose_in_own_chooser "$root"
  sleep 1.5  # the walk, then the glyphs a moment later
  xdotool mousemove $((X + 5)) $((Y + 500))
  sleep 0.5
  screenshot "$1"
  end_program
}

show_list "$artefacts/names-without-fonts.png" "$E2E_HOME/no-fonts.conf"
show_list "$artefacts/names-with-fonts.png"
[[ "$(list_rows "$artefacts/names-without-fonts.png")" != "$(list_rows "$artefacts/names-with-fonts.png")" ]] ||
  { echo "the names look the same with and without the system's fonts" >&2; exit 1; }
echo "names: drawn from the system's fonts"
