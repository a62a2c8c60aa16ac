#!/usr/bin/env bash
# Generates the media the player tests play, with the ffmpeg command-line
# tool, into the folder given. Does nothing when the set is already there.
set -euo pipefail
out="$1"
stamp="$out/.complete-v5"
[[ -e "$stamp" ]] && exit 0
mkdir -p "$out"
ff() { ffmpeg -nostdin -y -loglevel error "$@"; }

# H.264 + AAC, index at the front so a truncated copy still opens.
ff -f lavfi -i testsrc2=size=640x360:rate=30:duration=3 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 30 -c:a aac -ac 2 -movflags +faststart "$out/h264_aac.mp4"
# Sound only, and sound with six channels.
ff -f lavfi -i sine=frequency=330:sample_rate=44100:duration=2 -c:a aac "$out/audio_only.m4a"
ff -f lavfi -i sine=frequency=220:sample_rate=48000:duration=1 -ac 6 -c:a aac "$out/six_channels.m4a"
# Three channels in a container that names no layout.
ff -f lavfi -i sine=frequency=550:sample_rate=22050:duration=1 -ac 3 -c:a pcm_s16be "$out/three_channels.au"
# A video whose sound cannot be decoded: its AAC set-up names audio object
# type 0, which no decoder takes.
perl -0777 -pe 's/(\x05\x80\x80\x80[\x02-\x05])\x11\x90/$1\x01\x90/' "$out/h264_aac.mp4" > "$out/undecodable_audio.mp4"
cmp -s "$out/h264_aac.mp4" "$out/undecodable_audio.mp4" && { echo "could not break the AAC set-up" >&2; exit 1; }
# Plain PCM at the ends of the channel and rate ranges.
for format in 1:8000 2:44100 5:96000 8:192000; do
  ff -f lavfi -i "sine=frequency=440:sample_rate=${format#*:}:duration=0.5" -ac "${format%%:*}" -c:a pcm_s16le \
     "$out/pcm_${format%%:*}ch_${format#*:}.wav"
done
# Colour checks: BT.709 limited-range green, full-range near-white and near-black.
ff -f lavfi -i color=c=0x00FF00:s=64x64:d=0.2:r=30 -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p \
   -c:v libx264 -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv "$out/bt709_green.mp4"
ff -f lavfi -i color=c=0xF0F0F0:s=64x64:d=0.2:r=30 -vf scale=out_range=pc,format=yuvj420p \
   -c:v libx264 -color_range pc "$out/full_range_light.mp4"
ff -f lavfi -i color=c=0x101010:s=64x64:d=0.2:r=30 -vf scale=out_range=pc,format=yuvj420p \
   -c:v libx264 -color_range pc "$out/full_range_dark.mp4"
# An odd width (a lossless 4:4:4 codec keeps it), and a one-picture stream.
ff -f lavfi -i color=c=0xFF0000:s=100x74:d=0.2:r=30 -vf scale=101:75 -pix_fmt yuv444p -c:v ffv1 "$out/odd_width.mkv"
ff -f lavfi -i testsrc2=size=320x240:rate=30 -frames:v 1 -c:v libx264 "$out/single_picture.mp4"
# Portrait and landscape clips for the window tests.
ff -f lavfi -i testsrc2=size=360x640:rate=30:duration=4 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=4 \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$out/portrait.mp4"
# Broken or not media at all.
head -c "$(( $(stat -c %s "$out/h264_aac.mp4") * 4 / 10 ))" "$out/h264_aac.mp4" > "$out/truncated.mp4"
: > "$out/empty.mp4"
printf 'This is a text file, not a video.\n' > "$out/text.mp4"
# A header that claims a 20000 x 20000 picture.
printf 'YUV4MPEG2 W20000 H20000 F30:1 Ip A1:1 C420jpeg\nFRAME\n0123456789' > "$out/huge.y4m"
touch "$stamp"
