#!/usr/bin/env bash
# Installs what the Windows build needs on Debian 12 and prepares its
# sources: the mingw-w64 cross compilers, Wine to run what they build, the
# source packages of FFmpeg and Dear ImGui (a deb-src entry for Debian's own
# suites is added where there is none), and FFmpeg cross-built (cached).
# Writes a CMake initial cache naming what it made to the file given.
set -euo pipefail

here="$(cd "$(dirname "$0")/../.." && pwd)"
out="${1:?usage: install-deps.sh CACHE_FILE}"
cache="${SORTIQ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sortiq}"

bash "$here/scripts/install-deps.sh"

as_root() {
  if [[ "$(id -u)" == 0 ]]; then "$@"; else sudo "$@"; fi
}

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  nasm dpkg-dev xz-utils googletest
  wine wine64
  # the end-to-end test's sound server, which keeps real time
  pulseaudio pulseaudio-utils
)
missing=()
update=false
for p in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

# Source packages come from Debian's own suites.
sources_list=/etc/apt/sources.list.d/sortiq-src.sources
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "install-windows-deps: adding Debian's source suites ($sources_list)"
  as_root tee "$sources_list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  update=true
fi
if $update || ((${#missing[@]})); then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
fi
if ((${#missing[@]})); then
  echo "install-windows-deps: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Dear ImGui's sources, with its Win32 and Direct3D 11 back ends.
mkdir -p "$cache/source"
source "$here/scripts/windows/debian-source.sh"
imgui_version="$(newest_source_version imgui)"
imgui="$cache/source/imgui-${imgui_version#*:}"
[[ -f "$imgui/backends/imgui_impl_dx11.cpp" ]] || unpack_debian_source imgui "$imgui_version" "$cache/source" "$imgui"

ffmpeg="$(bash "$here/scripts/windows/build-ffmpeg.sh" | tail -n 1)"

cat >"$out.part" <<CACHE
set(SORTIQ_FFMPEG_PREFIX "$ffmpeg" CACHE PATH "")
set(SORTIQ_IMGUI_SOURCE "$imgui" CACHE PATH "")
set(SORTIQ_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "")
CACHE
mv "$out.part" "$out"
