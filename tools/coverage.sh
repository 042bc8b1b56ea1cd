#!/usr/bin/env bash
# Line and branch coverage of the game (src/) and the Linux platform layer
# (platform/) over the whole test suite, measured with gcov and summed up by
# gcovr. Builds with --coverage in a build folder of its own, runs every test
# there, prints the figures and writes an HTML report of each line.
#
#   tools/coverage.sh [more ctest arguments]
#
# Figures: the game's lines and branches; the platform layer's lines, and
# those of the SDL host on its own (its tests run it on X servers of their
# own). The test hooks, the headless host and the Linux executable's main are
# not counted.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_COVERAGE_BUILD_DIR:-$root/build-coverage}"

"$root/tools/setup.sh" gcovr
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVARNHOLT_WERROR=ON \
      -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
# Counts start afresh with every run; the build itself runs the test
# programs once, to list their tests.
find "$build" -name '*.gcda' -delete
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete
(cd "$build" && ctest -j"$(nproc)" "$@" >"$build/coverage-ctest.log") ||
    { tail -n 30 "$build/coverage-ctest.log"; exit 1; }
tail -n 3 "$build/coverage-ctest.log"

# Branches the compiler adds for exceptions, and those it proves unreachable,
# are no decisions of the code's own; nor are CMake's compiler probes code of
# ours.
probes='.*/CMakeFiles/[0-9.]+/.*'
summary() {
    gcovr --root "$root" --object-directory "$build" --exclude-directories "$probes" \
          --exclude-throw-branches --exclude-unreachable-branches \
          --txt "$build/coverage-summary.txt" \
          --print-summary "$@" | grep -E '^(lines|branches):'
}
# A line that only allocates, frees or makes a function's static (and makes
# no decision: no if, loop, ?:, && or ||) has branches the compiler made: a
# throwing constructor's clean-up, a null test inside delete, a thread-safe
# static's guard. The game's branches are given with and without them.
compilers='^(?!.*(\bif\b|\bwhile\b|\bfor\b|\?|&&|\|\|)).*\b(new|delete)\b.*$'

echo "== The game (src/)"
summary --filter "$root/src/" --exclude-branches-by-pattern "$compilers"
echo "   branches, counting those the compiler made for allocations and statics too:"
summary --filter "$root/src/" | grep '^branches' | sed 's/^/   /'
echo "== The Windows API as the platform layer serves it (platform/winapi/)"
summary --filter "$root/platform/winapi/" | grep '^lines'
echo "== The SDL host (platform/host_sdl/), on real X servers"
summary --filter "$root/platform/host_sdl/" | grep '^lines'
echo "== The launcher (platform/launcher/)"
summary --filter "$root/platform/launcher/" | grep '^lines'

mkdir -p "$build/coverage"
gcovr --root "$root" --object-directory "$build" --exclude-directories "$probes" \
      --exclude-throw-branches --exclude-unreachable-branches \
      --filter "$root/src/" --filter "$root/platform/" \
      --html-details "$build/coverage/index.html" >/dev/null
echo "coverage: line by line in $build/coverage/index.html"
