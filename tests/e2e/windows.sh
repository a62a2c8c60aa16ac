#!/usr/bin/env bash
# Sortiq.exe as a new user meets it under Wine, in a real window on a
# virtual display: every tab by its key, a folder chosen through the real
# folder dialog (its tree walked with the keyboard), a clip that plays with
# its picture on the screen and its sound reaching the device at the true
# rate, moves in the Classifier (the bytes checked on disk) and an undo
# with a still picture on show, a setting changed and read back from the
# registry, and an end with exit code 0.
# Screenshots are kept.
set -euo pipefail
program="$1" runner="$2" artefacts="$3"
source "$(dirname "$0")/xvfb_session.sh"
mkdir -p "$artefacts"
start_virtual_display

settle() { sleep "${1:-0.6}"; }
# As a hand does it: the pointer comes to rest on the place, then clicks.
click_at() {  # click_at X Y
  xdotool mousemove "$1" "$2"
  sleep 0.3
  xdotool click 1
}
fail() {
  screenshot "$artefacts/windows-failed.png"
  [[ -f "${sound:-}" ]] && cp "$sound" "$artefacts/windows-sound.raw"
  echo "$1" >&2
  exit 1
}
geometry_of() {  # geometry_of TITLE [LOOKS]: X Y W H of the first window of that title, once it stays put
  local line="" before=""
  for _ in $(seq "${2:-100}"); do
    line="$(xwininfo -root -tree | grep -F "\"$1\"" | head -1 | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -1 || true)"
    # Wine may still place the window just after it shows: the clicks
    # must go where it ends up.
    if [[ -n "$line" && "$line" == "$before" ]]; then
      sed -E 's/([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)/\3 \4 \1 \2/' <<<"$line"
      return 0
    fi
    before="$line"
    sleep 0.5
  done
  return 1
}
# The picture's colour: how many pixels of the panel are a saturated colour
# (the bars of the test clip), where the window's own colours are greys.
coloured_pixels() {  # coloured_pixels SHOT X Y W H: of every 4th pixel each way, times 16
  # Every pixel, in the interpreter, would take a core from the player as
  # its sound starts.
  ffmpeg -loglevel error -i "$1" -vf "crop=$4:$5:$2:$3,scale=iw/4:ih/4:flags=neighbor" -f rawvideo -pix_fmt rgb24 - |
    python3 -c 'import sys; d=sys.stdin.buffer.read(); print(16 * sum(1 for i in range(0, len(d), 3) if max(d[i:i+3]) - min(d[i:i+3]) > 150))'
}
# Where a colour first shows in a part of a screenshot, row by row.
first_pixel_of() {  # first_pixel_of SHOT R G B X Y W H -> X Y on the screen
  ffmpeg -loglevel error -i "$1" -vf "crop=$7:$8:$5:$6" -f rawvideo -pix_fmt rgb24 - |
    python3 -c 'import sys
d, want, (x, y, w) = sys.stdin.buffer.read(), bytes(map(int, sys.argv[1:4])), map(int, sys.argv[4:7])
at = next((i // 3 for i in range(0, len(d), 3) if d[i:i + 3] == want), None)
sys.exit(1) if at is None else print(x + at % w, y + at // w)' "$2" "$3" "$4" "$5" "$6" "$7"
}
# Up to 5 s; the checks after it say what did not come.
wait_for_file() { for _ in $(seq 50); do [[ -f "$1" ]] && return 0; sleep 0.1; done; return 0; }
registry() { WINEDEBUG=-all "$runner" reg "$@" 2>/dev/null | tr -d '\r'; }

# Wine gives no thread a higher priority than another (Windows runs its
# sound engine above everything else), and the virtual display's renderer
# is software: on every core it would leave none for the sound. One core
# draws, as a graphics card would beside the program.
export LP_NUM_THREADS=1

inbox="$E2E_HOME/Inbox"
mkdir -p "$inbox/Keep"
# Its tone is 440 Hz for 11.5 s, then 880 Hz to its end at 12 s: where the
# first play ends is heard.
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=30 \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=11.5" -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=0.5" \
  -filter_complex "[1:a][2:a]concat=n=2:v=0:a=1[a]" -map 0:v -map "[a]" \
  -t 12 -c:v libx264 -pix_fmt yuv420p -c:a aac -ac 2 "$inbox/clip one.mp4"
cp "$inbox/clip one.mp4" "$E2E_HOME/original.mp4"
# After it, sound without a picture, then a still picture.
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=4" -c:a libmp3lame "$inbox/clip two.mp3"
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=800x450 -frames:v 1 "$inbox/picture three.png"
registry delete 'HKCU\Software\Brackenfold\quillmere' /f >/dev/null || true

# A sound server of this test's own whose one output keeps real time and is
# recorded as it plays (ALSA's null device would let Wine set the pace).
export XDG_RUNTIME_DIR="$E2E_HOME/run" PULSE_RUNTIME_PATH="$E2E_HOME/run/pulse"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
HOME="$E2E_HOME" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=record rate=48000 channels=2 format=s16le" \
  --load="module-native-protocol-unix" >"$artefacts/windows-pulse.log" 2>&1 &
PULSE_PID=$!
trap 'kill "$PULSE_PID" "${RECORD_PID:-}" 2>/dev/null || true; stop_virtual_display' EXIT
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink record
sound="$E2E_HOME/sound.raw"
parec -d record.monitor --raw --format=s16le --rate=48000 --channels=2 --latency-msec=20 >"$sound" &
RECORD_PID=$!
# Wine's desktop keeps the display it was made on: the server of the tests
# before (without a display), which lingers idle after them, is ended
# first. This test runs alone, so nothing else of ours runs on it.
export WINEPREFIX="${SORTIQ_WINE_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/sortiq/wine-prefix}"
wineserver -k || true
wineserver -w
"$runner" "$program" >"$artefacts/windows-wine.log" 2>&1 &
APP_PID=$!
read -r X Y W H < <(geometry_of Sortiq) || fail "the window Sortiq did not appear"
window="$(xdotool search --name '^Sortiq$' | head -1)"
settle 2

# Every tab by its key, each drawn differently.
declare -A seen
for key in 1 2 3 4 5 6; do
  xdotool key --window "$window" "F$key"
  settle
  screenshot "$artefacts/windows-tab-$key.png"
  seen["$(region_md5 "$artefacts/windows-tab-$key.png" "$W" "$H" "$X" "$Y")"]=1
done
[[ ${#seen[@]} == 6 ]] || fail "F1 to F6 showed ${#seen[@]} different tabs, not 6"

# A setting, written to the registry at once.
xdotool key --window "$window" F5
settle
click_at $((X + 20)) $((Y + 243))  # "Deletes files ... immediately": ticked
settle

# The Classifier's root through the real folder dialog: a click in the
# tree's empty part gives it the keys; each folder of the path is typed
# (the tree jumps to it) and opened.
# Once in many runs the click opened no dialog and the Viewer was on show
# instead, as if key and click had reached another place (the cause is not
# known): the click is tried again, at most twice, and said so.
for attempt in 1 2 3; do
  xdotool key --window "$window" F2
  settle
  click_at $((X + 80)) $((Y + 55))  # " Scan Root Folder"
  geometry="$(geometry_of "Browse for Folder" 12)" && break
  screenshot "$artefacts/windows-no-dialog-$attempt.png"
  echo "the folder dialog did not open on click $attempt" >&2
done
read -r DX DY DW DH <<<"${geometry:-}"
[[ -n "${DH:-}" ]] || fail "the folder dialog did not open"
screenshot "$artefacts/windows-dialog.png"
click_at $((DX + 100)) $((DY + DH - 130))
settle 0.3
xdotool key Home Down  # Desktop, then "/" (the drive Z:)
settle 0.3
IFS=/ read -ra parts <<<"${inbox#/}"
for part in "${parts[@]}"; do
  xdotool key Right
  settle 0.5
  xdotool type --delay 40 "$part"
  settle 0.5
done
screenshot "$artefacts/windows-dialog-chosen.png"
xdotool key Return
for _ in $(seq 40); do
  settle 0.25
  screenshot "$artefacts/windows-playing.png"
  (($(coloured_pixels "$artefacts/windows-playing.png" $((X + 600)) $((Y + 60)) 650 280) > 20000)) && break
done

# The clip plays: its picture in the panel, its sound at the true rate.
panel_x=$((X + 600)) panel_y=$((Y + 60))
colours="$(coloured_pixels "$artefacts/windows-playing.png" "$panel_x" "$panel_y" 650 280)"
((colours > 20000)) || fail "the panel shows no picture ($colours coloured pixels)"
[[ -f "$sound" ]] || fail "no sound reached the device"
# The device takes sound in bursts: the rate is measured between the
# moments two bursts landed, some seconds apart.
rate="$(python3 - "$sound" <<'PY'
import os, sys, time
path = sys.argv[1]
changes, last, end = [], -1, time.monotonic() + 7
while time.monotonic() < end:
    size = os.stat(path).st_size
    if size != last:
        changes.append((time.monotonic(), size))
        last = size
    time.sleep(0.02)
(t0, s0), (t1, s1) = changes[1], changes[-1]
print((s1 - s0) / 4 / (t1 - t0))
PY
)"
python3 -c "import sys; sys.exit(0 if abs($rate / 48000 - 1) < 0.03 else 1)" ||
  fail "the device took $rate sample frames a second, not 48000"
echo "sound: the device took $rate sample frames a second of 48000"
# What reached the device is the clip's tone, every buffer once: its first
# play holds 12 s of it, up to the end of its high part, then the start
# over. Under Wine in a virtual display the sound engine is at times late
# (Wine 8 gives its thread no priority over the software renderer's) and
# the device plays silence meanwhile: such gaps delay the tone but lose
# none of it, and are counted, not failed. The recording is read once the
# first play must be over, not while it plays: reading takes a core.
tone=0
python3 - "$sound" <<'PY' || tone=$?
import array, os, sys, time
path, step = sys.argv[1], 96  # 96 samples: a millisecond of 48 kHz stereo
def milliseconds():  # (loud, sign changes of the left channel) per millisecond
    samples = array.array("h", open(path, "rb").read())
    out = []
    for i in range(0, len(samples) - step + 1, step):
        left = samples[i:i + step:2]
        loud = max(left) > 1000 or min(left) < -1000
        out.append((loud, sum(1 for a, b in zip(left, left[1:]) if (a < 0) != (b < 0)) if loud else 0))
    return out
# Hundredths of a second by their pitch: 440 Hz changes sign 8.8 times in
# 10 ms, 880 Hz 17.6 times.
def first_play(ms, first):
    heard, gaps, longest, silence, high = 0, 0, 0, 0, False
    for i in range(first, len(ms) - 10, 10):
        hundredth = ms[i:i + 10]
        loud = [changes for is_loud, changes in hundredth if is_loud]
        for is_loud, _ in hundredth:
            if is_loud:
                if silence > 25:
                    gaps, longest = gaps + 1, max(longest, silence)
                silence = 0
            else:
                silence += 1
        if len(loud) >= 8:
            pitch_high = sum(loud) / len(loud) > 1.3
            if high and not pitch_high:
                return heard, i, gaps, longest
            high = high or pitch_high
        heard += len(loud)
    return None
first = next(i for i, (loud, _) in enumerate(milliseconds()) if loud)
while os.stat(path).st_size < (first + 12500) * 4 * 48:
    time.sleep(0.5)
deadline = time.monotonic() + 20
while not (found := first_play(milliseconds(), first)) and time.monotonic() < deadline:
    time.sleep(1)
if not found:
    sys.exit("tone: its first play did not end")
heard, end, gaps, longest = found
print(f"tone: the first play {heard / 1000:.3f} s of tone over {(end - first) / 1000:.3f} s; "
      f"{gaps} gaps of 25 ms or more, the longest {longest} ms")
sys.exit(0 if 11.85 < heard / 1000 < 12.1 else 1)
PY
((tone == 0)) || fail "the sound that reached the device is not the clip's"

# A click on the folder button moves the clip into it, byte for byte.
click_at $((X + 34)) $((Y + 187))  # "Keep"
wait_for_file "$inbox/Keep/clip one.mp4"
settle
screenshot "$artefacts/windows-moved.png"
[[ ! -e "$inbox/clip one.mp4" ]] || fail "the clip is still in the inbox"
cmp -s "$E2E_HOME/original.mp4" "$inbox/Keep/clip one.mp4" || fail "the moved clip is not the clip"

# The sound goes the same way, and the still picture after it shows. Undo
# (below the picture) brings the sound back: the picture leaves in the
# middle of the frame that drew it, which must still be shown whole.
cp "$inbox/clip two.mp3" "$E2E_HOME/original.mp3"
click_at $((X + 34)) $((Y + 187))  # "Keep"
wait_for_file "$inbox/Keep/clip two.mp3"
settle 1
screenshot "$artefacts/windows-picture.png"
read -r UX UY < <(first_pixel_of "$artefacts/windows-picture.png" 61 153 107 "$X" "$Y" "$W" "$H") ||
  fail "no Undo button under the picture"
click_at $((UX + 20)) $((UY + 8))  # the newest record's "Undo"
wait_for_file "$inbox/clip two.mp3"
settle 1
screenshot "$artefacts/windows-undone.png"
kill -0 "$APP_PID" 2>/dev/null || fail "Sortiq.exe ended on Undo: $(tail -3 "$artefacts/windows-wine.log")"
cmp -s "$E2E_HOME/original.mp3" "$inbox/clip two.mp3" || fail "the sound did not come back whole"

# Alt+F4 ends the program, with 0 (after all the above, not a crash).
xdotool key --window "$window" alt+F4
status=0
wait "$APP_PID" || status=$?
APP_PID=""
((status == 0)) || fail "Sortiq.exe ended with $status"
registry query 'HKCU\Software\Brackenfold\quillmere' /v SkipMessageBoxPopup | grep -q 'REG_DWORD *0x1' ||
  fail "the setting is not in the registry: $(registry query 'HKCU\Software\Brackenfold\quillmere')"
echo "windows: every tab, the dialog, playback, the moves, the undo and the setting as a user meets them"
