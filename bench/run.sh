#!/usr/bin/env bash
# Runs every benchmark of a build folder; each prints its figures with the
# ratio to the reference measured in the same run.
set -euo pipefail
build="${1:-build-bench}"
"$build/bench/bench_fonts"
"$build/bench/bench_walk"
"$build/bench/bench_viewer"
"$build/bench/bench_file_commands"
"$build/bench/bench_grouping"
bash "$(dirname "$0")/idle_cpu.sh" "$build/sortiq" /tmp/sortiq-bench-media

media=/tmp/sortiq-bench-media
if [[ ! -s "$media/1080p30.mp4" ]]; then
  mkdir -p "$media"
  ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -c:v libx264 -preset veryfast -pix_fmt yuv420p \
    -g 60 -c:a aac -movflags +faststart "$media/1080p30.part.mp4"
  mv "$media/1080p30.part.mp4" "$media/1080p30.mp4"
fi
# 4K clips: 30 and 60 pictures a second in H.264, 30 in HEVC (the format
# of most phones), also in 10 bits as phones record HDR.
fourk() {  # fourk FILE RATE ENCODER-OPTIONS...
  local file="$1" rate="$2"; shift 2
  [[ -s "$media/$file" ]] && return 0
  ffmpeg -nostdin -y -loglevel error -f lavfi -i "testsrc2=size=3840x2160:rate=$rate:duration=10" \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -pix_fmt yuv420p "$@" -c:a aac \
    -movflags +faststart "$media/$file.part.mp4"
  mv "$media/$file.part.mp4" "$media/$file"
}
fourk 4k30_h264.mp4 30 -c:v libx264 -preset veryfast -g 60
fourk 4k60_h264.mp4 60 -c:v libx264 -preset veryfast -g 120
fourk 4k30_hevc.mp4 30 -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1
fourk 4k30_hevc10.mp4 30 -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 -pix_fmt yuv420p10le
"$build/bench/bench_player" "$media"

ff() { ffmpeg -nostdin -y -loglevel error "$@"; }
if [[ ! -s "$media/seek1080.mp4" ]]; then
  # Sound formats for the speed figures, 12 s each.
  tone="sine=frequency=440:sample_rate=48000:duration=12"
  ff -f lavfi -i "$tone" -ac 2 -c:a aac "$media/speed_aac.m4a"
  ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=12" -ac 2 -c:a libmp3lame "$media/speed_mp3.mp3"
  ff -f lavfi -i "$tone" -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -c:a ac3 "$media/speed_ac3.ac3"
  ff -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=12" -af asetnsamples=n=160 -c:a pcm_s16le \
     "$media/speed_pcm8k.mka"
  # A minute of MP3 in AVI, and a minute of variable frame rate, for the drift figures.
  ff -f lavfi -i testsrc2=size=640x360:rate=25:duration=60 -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=60" \
     -c:v mpeg4 -q:v 5 -c:a libmp3lame "$media/drift60_mp3.avi"
  ff -f lavfi -i testsrc2=size=640x360:rate=50:duration=60 -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
     -vf "select='lt(mod(n\,50)\,25)+eq(mod(n\,5)\,0)'" \
     -fps_mode vfr -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$media/drift60_vfr.mkv"
  # 1080p, key frames 8 s apart, the frame number burnt in: 16 blocks of
  # 40 pixels across the top 32 rows, block i white when bit i is set.
  ff -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=40" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=40" \
     -vf "format=gray,geq=lum='if(lt(Y\,32)\,if(mod(floor(N/pow(2\,floor(X/40)))\,2)\,235\,16)\,p(X\,Y))',format=yuv420p" \
     -c:v libx264 -preset veryfast -g 200 -keyint_min 200 -sc_threshold 0 -c:a aac "$media/seek1080.part.mp4"
  mv "$media/seek1080.part.mp4" "$media/seek1080.mp4"
fi
"$build/bench/bench_playback" "$media"

if [[ ! -s "$media/drift60.mp4" ]]; then
  # A minute with a burnt-in frame counter and a click every second.
  ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=640x360:rate=30:duration=60 \
    -f lavfi -i "aevalsrc='if(lt(mod(t,1),0.01),0.8*sin(2*PI*1000*t),0)':s=48000:d=60" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -movflags +faststart "$media/drift60.part.mp4"
  mv "$media/drift60.part.mp4" "$media/drift60.mp4"
fi
# The panel benchmark needs a display: a private virtual one.
(
  source "$(dirname "$0")/../tests/e2e/xvfb_session.sh"
  start_virtual_display
  "$build/bench/bench_panel" "$media/1080p30.mp4" "$media/4k30_hevc.mp4" "$media/4k60_h264.mp4" \
    -- "$media/drift60.mp4" "$media/drift60_mp3.avi" "$media/drift60_vfr.mkv"
)
