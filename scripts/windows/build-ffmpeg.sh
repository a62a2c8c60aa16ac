#!/usr/bin/env bash
# Cross-builds FFmpeg for 64-bit Windows as static libraries, from Debian's
# own source package, with only what the player reads: local files and
# pipes, the usual containers, decoders and parsers, swscale and swresample.
# No programs, no network. The result is cached outside the clone, keyed by
# the source version and this script's configuration, so a second build is
# a lookup. Prints the install prefix on its last line.
set -euo pipefail

cache="${SORTIQ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sortiq}"
jobs="${JOBS:-$(nproc)}"

demuxers=(mov matroska avi flv mpegts mpegps mpegvideo ogg wav w64 aiff au caf mp3 aac ac3 eac3 flac
  dts truehd asf h264 hevc m4v yuv4mpegpipe image2 image_jpeg_pipe image_png_pipe image_webp_pipe
  image_bmp_pipe image_gif_pipe image_tiff_pipe gif ape wv tta dv nut amr)
decoders=(h264 hevc vp8 vp9 mpeg4 msmpeg4v1 msmpeg4v2 msmpeg4v3 h263 flv mpeg1video mpeg2video mjpeg
  png apng gif bmp tiff webp theora vc1 wmv1 wmv2 wmv3 prores dnxhd ffv1 rawvideo huffyuv utvideo dvvideo
  aac aac_latm mp1 mp2 mp3 mp3float mp2float ac3 eac3 dca truehd flac alac opus vorbis wmav1 wmav2
  wmapro ape wavpack tta amrnb amrwb
  pcm_s16le pcm_s16be pcm_s24le pcm_s24be pcm_s32le pcm_s32be pcm_f32le pcm_f32be pcm_f64le pcm_u8
  pcm_alaw pcm_mulaw pcm_s8 pcm_s16le_planar pcm_bluray pcm_dvd adpcm_ima_wav adpcm_ms)
parsers=(h264 hevc vp8 vp9 mpeg4video mpegvideo h263 mjpeg png gif bmp webp vc1 dnxhd
  aac aac_latm ac3 mpegaudio dca flac opus vorbis)
bsfs=(vp9_superframe_split h264_mp4toannexb hevc_mp4toannexb)

join() { local IFS=,; echo "$*"; }

src_dir="$cache/source"
mkdir -p "$src_dir"
source "$(dirname "$0")/debian-source.sh"
version="$(newest_source_version ffmpeg)"
[[ -n "$version" ]] || { echo "build-ffmpeg: no source package for ffmpeg (is deb-src set up?)" >&2; exit 1; }
upstream="${version%%-*}"
upstream="${upstream#*:}"
configure_args=(
  --target-os=mingw32 --arch=x86_64 --cross-prefix=x86_64-w64-mingw32-
  --cc=x86_64-w64-mingw32-gcc-posix --cxx=x86_64-w64-mingw32-g++-posix
  --pkg-config=false
  --enable-static --disable-shared --disable-programs --disable-doc --disable-debug
  --disable-autodetect --enable-zlib --enable-w32threads
  --disable-network --disable-avdevice --disable-avfilter --disable-postproc
  --disable-everything
  --enable-protocol=file,pipe
  --enable-demuxer="$(join "${demuxers[@]}")"
  --enable-decoder="$(join "${decoders[@]}")"
  --enable-parser="$(join "${parsers[@]}")"
  --enable-bsf="$(join "${bsfs[@]}")"
  --enable-swscale --enable-swresample
)
# The build is known by its source and its configuration, nothing else.
config_hash="$(printf '%s\n' "${configure_args[@]}" | sha256sum | cut -c1-12)"
prefix="$cache/ffmpeg-win64-${version#*:}-$config_hash"

if [[ -f "$prefix/.complete" ]]; then
  echo "$prefix"
  exit 0
fi

tree="$src_dir/ffmpeg-$upstream"
# With Debian's patches applied: the same source as the Linux build's libraries.
[[ -f "$tree/configure" ]] || unpack_debian_source ffmpeg "$version" "$src_dir" "$tree"

work="$cache/ffmpeg-win64-build"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
"$tree/configure" --prefix="$prefix" "${configure_args[@]}" >"$work/configure.log" 2>&1 \
  || { tail -30 "$work/configure.log" >&2; exit 1; }
make -j "$jobs" >"$work/make.log" 2>&1 || { tail -40 "$work/make.log" >&2; exit 1; }
make install >/dev/null
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
