#!/usr/bin/env bash
# How fast the SDL host lets the game's frames come, on X screens of their
# own: changing frames against the display's refresh (through the window's
# framebuffer, and through SDL's software renderer, whose vsync does not
# wait), changing frames with vsync off under a cap of 25 a second, and a
# picture at rest. Each case (bench/pacing_bench.cpp) runs in a process of
# its own, prints its figures and fails past its bound. Exits 1 when one
# failed.
#
#   bench/bench_pacing.sh [BUILD_DIR]      (default build; configured with
#                                           -DVARNHOLT_BENCHMARKS=ON)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$(realpath "${1:-$root/build}")/varnholt_pacing_bench"
[ -x "$bench" ] || { echo "no $bench: configure with -DVARNHOLT_BENCHMARKS=ON and build it" >&2; exit 1; }
# Run whole, the program starts itself once a case and says which failed.
"$bench" | grep -v '^\[==========\]\|^\[  PASSED  \]'
