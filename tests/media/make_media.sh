#!/usr/bin/env bash
# Generates the media the player tests play, with the ffmpeg command-line
# tool, into the folder given. Does nothing when the set is already there.
set -euo pipefail
out="$1"
stamp="$out/.complete-v12"
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
# The same green in 10-bit HEVC, as phones record HDR.
ff -f lavfi -i color=c=0x00FF00:s=64x64:d=0.2:r=30 -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p10le \
   -c:v libx265 -x265-params log-level=error -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
   "$out/bt709_green_10bit.mp4"
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

# Read once: grep -q on a pipe would close it early and trip pipefail.
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
# Sound format matrix: a steady tone in every file, so a gap in playback
# shows up as a run of silence.
tone() { echo "sine=frequency=$1:sample_rate=$2:duration=${3:-4}"; }
# The same tone in every channel: plain -ac upmixing leaves all but the
# centre silent.
every_channel() { local f="pan=$1" i; for ((i = 0; i < $2; i++)); do f+="|c$i=c0"; done; echo "$f"; }
ff -f lavfi -i "$(tone 440 48000)" -ac 2 -c:a aac "$out/fmt_aac.m4a"
ff -f lavfi -i "$(tone 494 44100)" -ac 2 -c:a libmp3lame "$out/fmt_mp3.mp3"
ff -f lavfi -i testsrc2=size=160x90:rate=25:duration=4 -f lavfi -i "$(tone 523 44100)" \
   -c:v mpeg4 -q:v 5 -c:a libmp3lame -ac 2 "$out/fmt_mp3.avi"
ff -f lavfi -i "$(tone 587 48000)" -af "$(every_channel 5.1 6)" -c:a ac3 "$out/fmt_ac3.ac3"
if [[ $encoders == *' libopus '* ]]; then
  ff -f lavfi -i "$(tone 659 48000)" -ac 2 -c:a libopus "$out/fmt_opus.opus"
else
  ff -f lavfi -i "$(tone 659 48000)" -ac 2 -c:a opus -strict -2 "$out/fmt_opus.opus"
fi
ff -f lavfi -i "$(tone 698 44100)" -ac 2 -c:a libvorbis "$out/fmt_vorbis.ogg"
ff -f lavfi -i "$(tone 784 192000)" -ac 2 -c:a flac "$out/fmt_flac192.flac"
# 160-sample (20 ms) packets; Matroska keeps the packet size, WAV readers
# choose their own.
ff -f lavfi -i "$(tone 880 8000)" -af asetnsamples=n=160 -c:a pcm_s16le "$out/fmt_pcm8k.mka"
ff -f lavfi -i "$(tone 988 192000)" -af "$(every_channel 7.1 8)" -c:a pcm_s16le "$out/fmt_pcm8ch192k.wav"
# No named layout has 12 channels here, so the file carries none.
ff -f lavfi -i "$(tone 1047 48000)" -af "$(every_channel '12 channels' 12)" -c:a pcm_s16le "$out/fmt_pcm12ch.wav"
# Two streams glued byte-wise: stereo then mono, the timestamps restart.
for kind in ts:mpegts aac:adts; do
  ff -f lavfi -i "$(tone 440 48000 2.5)" -ac 2 -c:a aac -f "${kind#*:}" "$out/.join_a"
  ff -f lavfi -i "$(tone 660 48000 2.5)" -ac 1 -c:a aac -f "${kind#*:}" "$out/.join_b"
  cat "$out/.join_a" "$out/.join_b" > "$out/fmt_joined.${kind%%:*}"
  rm -f "$out/.join_a" "$out/.join_b"
done

# Every picture shows its own frame number N (counted from 0) in the top 16
# rows: 16 blocks side by side, block i (from the left) is white (luma 235)
# when bit i of N is set, else black (luma 16). Chroma stays neutral there.
# Read luma at x = W*i + W/2, y = 8 (W = block width), threshold 128.
# $1 = picture width, $2 = block width, $3 = frame rate; the result must be
# stacked on top of a picture 16 rows shorter.
frame_code() {
  echo "color=c=black:s=${1}x16:r=$3,format=gray,geq=lum='if(mod(floor(N/pow(2\,floor(X/$2)))\,2)\,235\,16)',format=yuv420p"
}
# Seeking: key frames only every 8 s, so a seek must decode up from far back.
ff -f lavfi -i "testsrc2=size=320x164:rate=25:duration=24[t];$(frame_code 320 20 25)[c];[c][t]vstack=shortest=1" \
   -f lavfi -i "$(tone 440 48000 24)" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
   -g 200 -keyint_min 200 -sc_threshold 0 -c:a aac -ac 2 "$out/gop8.mp4"
# A slow start: one key frame in 16 s, so a seek near the end decodes for
# a good while (over a second here) before its first sound and picture;
# 1080p, so frame threads decode it. The sound starts 2 s after the
# picture, and has a gap from 5 to 7 s (its timestamps jump).
ff -f lavfi -i "testsrc2=size=1920x1064:rate=25:duration=16[t];$(frame_code 1920 120 25)[c];[c][t]vstack=shortest=1" \
   -itsoffset 2 -f lavfi -i "$(tone 440 44100 14),aselect='not(between(t\,3\,5))'" \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p \
   -g 1000 -keyint_min 1000 -sc_threshold 0 -c:a aac -ac 2 "$out/late_sound.mp4"
# Sound whose timestamps drift 2 % from its samples (with a millisecond's
# rounding), and sound with a gap of 12 s, too long to fill with silence.
ff -f lavfi -i testsrc2=size=160x90:rate=25:duration=6 -f lavfi -i "$(tone 440 44100 6)" \
   -c:v libx264 -preset ultrafast -c:a aac -ac 2 -bsf:a "setts=ts=TS*51/50" "$out/drifting_sound.mkv"
ff -f lavfi -i testsrc2=size=160x90:rate=25:duration=16 -f lavfi -i "$(tone 440 44100 16),aselect='not(between(t\,1\,13))'" \
   -c:v libx264 -preset ultrafast -c:a aac -ac 2 "$out/long_gap.mp4"
# Variable frame rate: runs of ten 20 ms frames and ten 50 ms frames.
# Block width 10 here (160 wide). Timestamps are whole milliseconds.
ff -f lavfi -i "testsrc2=size=160x74:rate=50[t];$(frame_code 160 10 50)[c];[c][t]vstack=shortest=1,trim=end_frame=290,settb=1/1000,setpts='floor(N/20)*700+if(lt(mod(N\,20)\,10)\,mod(N\,20)*20\,200+(mod(N\,20)-10)*50)'" \
   -f lavfi -i "$(tone 523 48000 10)" -fps_mode passthrough -c:v libx264 -preset veryfast -pix_fmt yuv420p \
   -c:a aac -ac 2 "$out/vfr.mkv"
# "frame_number pts_seconds" per frame as read back; the video does not
# start at 0 because the muxer shifts it past the AAC priming.
ffprobe -v error -select_streams v -show_entries frame=best_effort_timestamp_time -of csv=p=0 "$out/vfr.mkv" \
  | awk -F, '$1 != "" { print n++, $1 }' > "$out/vfr.times"
[[ $(wc -l < "$out/vfr.times") -eq 290 ]] || { echo "vfr.times is incomplete" >&2; exit 1; }
# Sound with a cover picture, which must not be taken for a video.
ff -f lavfi -i "$(tone 392 44100 6)" -f lavfi -i testsrc=size=128x128:rate=1:duration=1 -map 0:a -map 1:v \
   -c:a libmp3lame -ac 2 -c:v mjpeg -disposition:v attached_pic -id3v2_version 3 "$out/cover.mp3"
# Timestamps far from zero; no mux delay, so the video starts at exactly 1000 s.
ff -f lavfi -i "testsrc2=size=320x164:rate=25:duration=8[t];$(frame_code 320 20 25)[c];[c][t]vstack=shortest=1" \
   -f lavfi -i "$(tone 587 48000 8)" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
   -g 50 -keyint_min 50 -sc_threshold 0 -c:a aac -ac 2 -output_ts_offset 1000 -muxdelay 0 -muxpreload 0 "$out/offset.ts"

# Presentation. Stored with a red top-left quadrant; shown turned a quarter
# clockwise (red at the top right), as phones record portrait video.
# ffprobe says "displaymatrix: rotation of -90.00 degrees". This ffmpeg
# honours the rotate tag only when copying, with the sign as below.
ff -f lavfi -i color=c=blue:s=320x180:r=25:d=1 -vf drawbox=x=0:y=0:w=160:h=90:color=red:t=fill \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p -f mp4 "$out/.rotate_plain"
ff -i "$out/.rotate_plain" -c copy -metadata:s:v rotate=-90 "$out/rotate90.mp4"
rm -f "$out/.rotate_plain"
[[ $(ffprobe -v error -select_streams v -show_entries stream_side_data=rotation -of csv=p=0 "$out/rotate90.mp4") == -90 ]] \
  || { echo "rotate90.mp4 lacks its rotation" >&2; exit 1; }
# Non-square pixels: the white square must show 16:11 wider than tall.
ff -f lavfi -i color=c=black:s=352x288:r=25:d=1 -vf drawbox=x=126:y=94:w=100:h=100:color=white:t=fill,setsar=16/11 \
   -c:v libx264 -preset veryfast -pix_fmt yuv420p "$out/sar16_11.mp4"
ff -f lavfi -i testsrc2=size=640x480:rate=1 -frames:v 1 -pix_fmt yuvj420p -update 1 "$out/picture.jpg"
# Hidden pixels are red, so a viewer that drops the alpha shows red.
ff -f lavfi -i color=c=black:s=64x64:r=1 -frames:v 1 \
   -vf "format=rgba,geq=r='if(lt(X,32),255,0)':g='if(lt(X,32),0,255)':b=0:a='if(lt(X,32),0,255)'" \
   -pix_fmt rgba -update 1 "$out/picture.png"
if [[ $encoders == *' libwebp '* ]]; then
  ff -f lavfi -i testsrc2=size=320x240:rate=1 -frames:v 1 -c:v libwebp -update 1 "$out/picture.webp"
fi
ff -f lavfi -i color=c=red:s=1x1,format=rgb24 -frames:v 1 -update 1 "$out/one_pixel.png"
# One-pixel black and white columns alias badly when scaled carelessly.
# The pattern is computed once and repeated for 3 s.
ff -f lavfi -i "color=c=black:s=3840x2160:r=25,trim=end_frame=1,format=gray,geq=lum='if(mod(X\,2)\,235\,16)',loop=loop=74:size=1,setpts=N/25/TB,format=yuv420p" \
   -c:v libx264 -preset ultrafast "$out/uhd.mp4"
# A 4K clip of a tenth of the pictures, quick to play to its end.
ff -f lavfi -i "color=c=gray:s=3840x2160:r=25:d=0.4,format=yuv420p" -c:v libx264 -preset ultrafast "$out/uhd_short.mp4"
# A phone photo: landscape pixels with an EXIF orientation of 6 (turn a
# quarter clockwise to view), written as an APP1 segment after the start
# marker. Red top-left quarter, as in rotate90.mp4.
ff -f lavfi -i "color=c=blue:s=640x360,drawbox=x=0:y=0:w=320:h=180:color=red:t=fill" -frames:v 1 "$out/.exif_base.jpg"
{ head -c 2 "$out/.exif_base.jpg"
  printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
  tail -c +3 "$out/.exif_base.jpg"; } > "$out/exif_rot6.jpg"
rm -f "$out/.exif_base.jpg"
touch "$stamp"
