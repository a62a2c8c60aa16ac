#!/usr/bin/env bash
# Runs every benchmark of a build folder; each prints its figures with the
# ratio to the reference measured in the same run.
set -euo pipefail
build="${1:-build-bench}"
"$build/bench/bench_fonts"
"$build/bench/bench_walk"
"$build/bench/bench_viewer"

media=/tmp/sortiq-bench-media
if [[ ! -s "$media/1080p30.mp4" ]]; then
  mkdir -p "$media"
  ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -c:v libx264 -preset veryfast -pix_fmt yuv420p \
    -g 60 -c:a aac -movflags +faststart "$media/1080p30.part.mp4"
  mv "$media/1080p30.part.mp4" "$media/1080p30.mp4"
fi
"$build/bench/bench_player" "$media/1080p30.mp4"

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
  "$build/bench/bench_panel" "$media/1080p30.mp4" "$media/drift60.mp4"
)
