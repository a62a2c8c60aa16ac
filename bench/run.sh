#!/usr/bin/env bash
# Runs every benchmark of a build folder; each prints its figures with the
# ratio to the reference measured in the same run.
set -euo pipefail
build="${1:-build-bench}"
"$build/bench/bench_fonts"
"$build/bench/bench_walk"
