#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own Wine prefix, with
# Wine's chatter off. The prefix is made on first use, with a drive R: on
# memory (another disk, for moves across disks). Sound goes to ALSA's null
# device through a file plug-in: into SORTIQ_SOUND_FILE when it is set (raw
# 16-bit stereo samples at 48 kHz), else nowhere. Wine's sound needs
# some ALSA device, and a machine without a sound card has none.
set -euo pipefail
# A step of the set-up that fails says which, since a test run shows only
# what its programs printed.
trap 'echo "wine-run.sh: line $LINENO: \"$BASH_COMMAND\" failed with exit code $?" >&2' ERR
export WINEPREFIX="${WINEPREFIX:-${SORTIQ_WINE_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/sortiq/wine-prefix}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko installer at first start
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX.lock" bash -c '[[ -f "$WINEPREFIX/system.reg" ]] || { wineboot --init && wineserver --wait; }' >/dev/null 2>&1
fi
# (Tests starting side by side may both make it.)
[[ -e "$WINEPREFIX/dosdevices/r:" ]] || ln -sn /dev/shm "$WINEPREFIX/dosdevices/r:" 2>/dev/null ||
  [[ -e "$WINEPREFIX/dosdevices/r:" ]]
# Wine's Direct3D draws from a thread of its own that spins while it waits
# for the renderer; on a virtual display the renderer is software, on the
# same cores as the program, and the spinning starves the sound engine.
# Drawn on the program's thread, it waits asleep.
if [[ ! -f "$WINEPREFIX/sortiq-direct3d-on-caller" ]]; then
  WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
    touch "$WINEPREFIX/sortiq-direct3d-on-caller"
fi

# Ahead of a run of tests: a server that outlasts the gaps between them,
# and Wine's own services started apart from any test. The first program
# of a server starts those services, and they hold that program's output
# open as long as they run: a test runner would wait on that one test
# until the last test is done.
if [[ "${1:-}" == --start-server ]]; then
  exec </dev/null >/dev/null 2>&1
  for attempt in 1 2 3; do wineserver -p60 && break; sleep 1; done  # refused while another one runs
  set -- cmd /c exit
fi

# One configuration per recording place, kept in the prefix: the program is
# exec'd, so that whoever stops this script stops Wine's program with it.
alsa="$WINEPREFIX/sortiq-alsa-$(printf '%s' "${SORTIQ_SOUND_FILE:-/dev/null}" | sha256sum | cut -c1-12).conf"
# What is recorded is always 16-bit stereo at 48 kHz, whatever Wine asks for.
cat >"$alsa.$$" <<ALSA
pcm.!default { type plug; slave { pcm "sortiq_record"; format S16_LE; rate 48000; channels 2 } }
pcm.sortiq_record { type file; slave.pcm "null"; file "${SORTIQ_SOUND_FILE:-/dev/null}"; format "raw" }
ALSA
mv "$alsa.$$" "$alsa"  # whole, for a test starting beside this one
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$alsa"
exec wine "$@"
