#!/usr/bin/env bash
# Runs the key-drain tests in a real window on a private virtual display.
set -euo pipefail
binary="$1"
source "$(dirname "$0")/xvfb_session.sh"
start_virtual_display
"$binary"
