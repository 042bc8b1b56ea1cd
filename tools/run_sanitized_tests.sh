#!/usr/bin/env bash
# Builds everything with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own and runs the whole
# test suite there. Any sanitizer report, a leak among them, fails the test it
# came from.
#
#   tools/run_sanitized_tests.sh [more ctest arguments]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_SANITIZE_BUILD_DIR:-$root/build-sanitize}"

"$root/tools/setup.sh"
# -O1 as the sanitizers' makers advise, and line tables only (-g1): reports
# still name the file and line, and the build takes half the time of -O2 -g.
cmake -S "$root" -B "$build" -DVARNHOLT_SANITIZE=ON -DVARNHOLT_WERROR=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
# A sanitized build leaves out the tests that replace malloc (CMake decides).
cmake --build "$build" -j"$(nproc)"

# LeakSanitizer is on: a test that leaks memory fails. The game's objects
# live until the process ends on purpose, but stay reachable from their
# holders; tests release what they make, or count live platform objects where
# an object's lifetime is the point. VARNHOLT_DETECT_LEAKS=0 turns it off.
leaks="${VARNHOLT_DETECT_LEAKS:-1}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=$leaks:detect_stack_use_after_return=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest -j"$(nproc)" --output-on-failure "$@"
