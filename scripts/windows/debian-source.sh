# Sourced by the Windows set-up scripts.
# newest_source_version PACKAGE: the newest version apt offers of its source.
newest_source_version() {
  apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

# unpack_debian_source PACKAGE VERSION FOLDER INTO: fetches the source
# package into FOLDER and unpacks it with Debian's patches applied into
# INTO (whole or not at all).
unpack_debian_source() {
  local package="$1" version="$2" folder="$3" into="$4"
  (cd "$folder" && apt-get source --download-only "$package=$version" >/dev/null 2>&1)
  rm -rf "$into.part"
  dpkg-source --no-check -x "$folder/${package}_${version#*:}.dsc" "$into.part" >/dev/null
  mv "$into.part" "$into"
}
