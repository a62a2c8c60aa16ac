#!/usr/bin/env bash
# Installs what Sortiq needs to build, run and test on Debian 12.
# Idempotent: packages already present are not touched, the icon font is
# fetched only once. Runs as root or through sudo.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  # build
  g++ cmake make pkg-config ccache
  libsdl2-dev libimgui-dev libstb-dev libgl-dev libgl1-mesa-dri
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libfontconfig-dev libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run: text font, fonts for names in other scripts, message boxes on X11,
  # file manager and browser launch
  fonts-noto-mono fonts-noto-cjk fonts-noto-core fontconfig xfonts-base xdg-utils dbus
  # tests: virtual display, window tools, media generation
  xvfb xauth x11-utils xdotool ffmpeg
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(fd-find findutils libglib2.0-bin)
fi

missing=()
for p in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

as_root() {
  if [[ "$(id -u)" == 0 ]]; then "$@"; else sudo "$@"; fi
}

# npm may come from outside Debian's packages (it does on our machines)
command -v npm >/dev/null || missing+=(npm)

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Icon font: Material Symbols Rounded, 400 Regular, from the npm registry.
font_dir="$here/.deps/fonts"
font="$font_dir/MaterialSymbolsRounded_400Regular.ttf"
font_package="@expo-google-fonts/material-symbols-rounded@0.4.55"
if [[ ! -s "$font" ]]; then
  echo "install-deps: fetching $font_package"
  mkdir -p "$font_dir"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$font_package" >/dev/null)
  tar -xzf "$work"/*.tgz -C "$work" package/400Regular/MaterialSymbolsRounded_400Regular.ttf
  mv "$work/package/400Regular/MaterialSymbolsRounded_400Regular.ttf" "$font.part"
  mv "$font.part" "$font"
fi

text_font=/usr/share/fonts/truetype/noto/NotoSansMono-Regular.ttf
[[ -s "$text_font" ]] || { echo "install-deps: $text_font missing" >&2; exit 1; }
