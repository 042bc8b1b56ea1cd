#!/usr/bin/env bash
# How fast the SDL host lets the game's frames come, on X screens of their
# own: changing frames against the display's refresh (through the window's
# framebuffer, and through SDL's software renderer, whose vsync does not
# wait), changing frames with vsync off under a cap of 25 a second, and a
# picture at rest. These are the SDL host tests' timed cases, which CTest
# leaves out: each prints its figures and fails past its bound. Exits 1 when
# one failed.
#
#   bench/bench_pacing.sh [BUILD_DIR]      (default build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tests="$(realpath "${1:-$root/build}")/sdl_host_tests"
[ -x "$tests" ] || { echo "no $tests: build the tests first" >&2; exit 1; }
status=0
# One process a case, as every test of the game's runs.
for filter in 'Presenters/Pacing.DISABLED_*/0' 'Presenters/Pacing.DISABLED_*/1' \
    'SdlHostTest.DISABLED_TheFrameCap*' 'SdlHostTest.DISABLED_ARestingPicture*'; do
    output=$("$tests" --gtest_also_run_disabled_tests --gtest_filter="$filter" \
        --gtest_brief=1 2>&1) || status=1
    echo "$output" | grep -v '^\[==========\]\|^\[  PASSED  \]' || true
done
exit "$status"
