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

# Test programs that put their own malloc in place of the C library's, which
# AddressSanitizer must own: they run in the ordinary build only.
unsanitizable='perf_tests'

"$root/tools/setup.sh"
# -O1 as the sanitizers' makers advise, and line tables only (-g1): reports
# still name the file and line, and the build takes half the time of -O2 -g.
cmake -S "$root" -B "$build" -DVARNHOLT_SANITIZE=ON -DVARNHOLT_WERROR=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
targets=$(cmake --build "$build" --target help |
          sed -n 's/^\.\.\. \([A-Za-z0-9_]*\)$/\1/p' |
          grep -vxE "all|clean|depend|edit_cache|rebuild_cache|test|install.*|package.*|list_install_components|$unsanitizable")
# shellcheck disable=SC2086  # one target a word
cmake --build "$build" -j"$(nproc)" --target $targets

# LeakSanitizer is on: a test that leaks memory fails. The game's objects
# live until the process ends on purpose, but stay reachable from their
# holders; tests release what they make, or count live platform objects where
# an object's lifetime is the point. VARNHOLT_DETECT_LEAKS=0 turns it off.
leaks="${VARNHOLT_DETECT_LEAKS:-1}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=$leaks:detect_stack_use_after_return=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$build"
ctest -j"$(nproc)" --output-on-failure --timeout 300 -E "^($unsanitizable)" "$@"
