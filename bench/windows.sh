#!/usr/bin/env bash
# The Windows build under Wine beside the Linux build, in one run on the
# same clips: decode and BGRA conversion (the Windows figure over the Linux
# one; target >= 0.9), Play to the first picture (target <= 100 ms), and
# Sortiq.exe's CPU at rest in a real window (target <= 2 % of a core), with
# the Linux program's beside it.
set -euo pipefail
linux_build="$1" windows_build="$2" media="${3:-/tmp/sortiq-bench-media}"
here="$(cd "$(dirname "$0")/.." && pwd)"
runner="$here/scripts/windows/wine-run.sh"

# The display first: Wine's desktop, made by its first program, keeps the
# display it was made on.
source "$here/tests/e2e/xvfb_session.sh"
start_virtual_display

mkdir -p "$media"
clip() {  # clip FILE SIZE ENCODER-OPTIONS...
  local file="$1" size="$2"; shift 2
  [[ -s "$media/$file" ]] && return 0
  ffmpeg -nostdin -y -loglevel error -f lavfi -i "testsrc2=size=$size:rate=30:duration=10" \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -pix_fmt yuv420p "$@" -c:a aac \
    -movflags +faststart "$media/$file.part.mp4"
  mv "$media/$file.part.mp4" "$media/$file"
}
clip win_1080p30_h264.mp4 1920x1080 -c:v libx264 -preset veryfast -g 60
clip win_1080p30_hevc.mp4 1920x1080 -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1
clips=(${SORTIQ_BENCH_CLIPS:-win_1080p30_h264.mp4 win_1080p30_hevc.mp4})

# Wine's server and its own services up before any figure is taken, and
# kept between the turns (they would start on the cores the decoding has).
"$runner" --start-server
# The builds take turns, five times, so that what else the machine does
# weighs on both alike: of the decoding, each build's fastest turn counts;
# of Play to the first picture, its slowest.
: >"$media/linux.txt"; : >"$media/windows.txt"
for turn in 1 2 3 4 5; do
  SDL_AUDIODRIVER=dummy "$linux_build/bench/bench_decode" "$media" "${clips[@]}" >>"$media/linux.txt"
  "$runner" "$windows_build/bench/bench_decode.exe" "Z:$media" "${clips[@]}" 2>/dev/null | tr -d '\r' >>"$media/windows.txt"
done
python3 - "$media/linux.txt" "$media/windows.txt" <<'PY'
import sys
def figures(path):
    out = {}
    for line in open(path):
        kind, clip, *values = line.split()
        values = [float(v) for v in values]
        kept = out.get((kind, clip))
        if kind == "decode":
            better = kept is None or values[0] / values[1] > kept[0] / kept[1]
        else:
            better = kept is None or values[0] > kept[0]
        out[(kind, clip)] = values if better else kept
    return out
linux, windows = figures(sys.argv[1]), figures(sys.argv[2])
for (kind, clip), value in sorted(windows.items()):
    if kind == "decode":
        ours, theirs = value[0] / value[1], linux[(kind, clip)][0] / linux[(kind, clip)][1]
        print(f"windows decode+BGRA {clip}: {ours:.1f} pictures/s (Linux build {theirs:.1f}, ratio {ours / theirs:.2f}; target >= 0.9)")
    else:
        print(f"windows Play to first picture {clip}: {value[0]:.1f} ms (Linux build {linux[(kind, clip)][0]:.1f} ms; target <= 100 ms)")
PY

# At rest: the window open on its first tab, nothing chosen, for 10 s.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
server_ticks() { local pid; pid="$(pgrep -n wineserver)" && ticks "$pid" || echo 0; }
at_rest() {  # at_rest NAME PROGRAM...: percent of a core over 10 s once the window shows
  local name="$1"; shift
  "$@" >"$media/$name-at-rest.log" 2>&1 &
  local launcher=$! pid=$!
  for _ in $(seq 150); do xwininfo -root -tree | grep -q '"Sortiq"' && break; sleep 0.1; done
  sleep 5
  # Wine's launcher hands the program to a process of its own.
  [[ "$name" == windows ]] && pid="$(pgrep -n -f 'Sortiq\.exe')"
  local before server_before after server_after
  before="$(ticks "$pid")" server_before="$(server_ticks)"
  sleep 10
  after="$(ticks "$pid")" server_after="$(server_ticks)"
  kill "$pid" "$launcher" 2>/dev/null || true
  wait "$launcher" 2>/dev/null || true
  awk -v name="$name" -v us=$((after - before)) -v server=$((server_after - server_before)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
    printf "%s CPU at rest: %.1f %% of a core (target <= 2 %%)", name, us / hz / 10 * 100
    if (name == "windows") printf "; the Wine server beside it: %.1f %%", server / hz / 10 * 100
    printf "\n"
  }'
}
at_rest windows "$runner" "$windows_build/Sortiq.exe"
HOME="$E2E_HOME" at_rest linux "$linux_build/sortiq"
