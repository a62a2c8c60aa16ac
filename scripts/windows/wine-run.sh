#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own Wine prefix, with
# Wine's chatter off. The prefix is made on first use; its sound goes to
# ALSA's null device unless the caller's HOME says otherwise (a private
# HOME with an .asoundrc that records what is played).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-${SORTIQ_WINE_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/sortiq/wine-prefix}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko installer at first start
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX.lock" bash -c '[[ -f "$WINEPREFIX/system.reg" ]] || { wineboot --init && wineserver --wait; }' >/dev/null 2>&1
fi
exec wine "$@"
