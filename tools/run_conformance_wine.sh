#!/usr/bin/env bash
# Builds the conformance tests for Windows with MinGW-w64 (GoogleTest built
# from Debian's googletest sources) and runs them under Wine on a virtual
# 1024 x 768 screen, each test in a process of its own. Prints how many tests
# ran on both sides, per API, and the expectations left out under Wine with
# their reasons; fails when any test fails.
#
#   tools/run_conformance_wine.sh [--gtest_filter=PATTERN] [more CMake arguments]
#
# The build goes to build-windows-conformance/ (or
# $VARNHOLT_CONFORMANCE_BUILD_DIR); the Wine prefix is $WINEPREFIX, by
# default /tmp/varnholt-wine-prefix, made on first use. The log goes to a new
# folder under /tmp, printed at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_CONFORMANCE_BUILD_DIR:-$root/build-windows-conformance}"
name=run_conformance_wine
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"

filter=""
cmake_args=()
for argument in "$@"; do
    case "$argument" in
        --gtest_filter=*) filter="$argument" ;;
        *) cmake_args+=("$argument") ;;
    esac
done

"$root/tools/setup.sh" g++-mingw-w64-x86-64 googletest wine xvfb

started=$(date +%s.%N)

# Without debugging information unless asked for: a failed test says what
# failed, and the build takes a fifth less time.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-Release}" -DVARNHOLT_CONFORMANCE=ON \
    ${cmake_args[@]+"${cmake_args[@]}"} >/dev/null
cmake --build "$build" --target conformance_tests -j"$(nproc)"
exe="$build/conformance_tests.exe"
echo "run_conformance_wine: built $exe in $(seconds_since "$started") s"

out="$(mktemp -d /tmp/varnholt-conformance.XXXXXX)"
export WINEPREFIX="${WINEPREFIX:-/tmp/varnholt-wine-prefix}"
export WINEARCH=win64
export WINEDEBUG=-all

# ---- The X screen ----------------------------------------------------------------
managed_added=""
cleanup() {
    if [ -n "$managed_added" ]; then
        wine reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
    fi
    timeout 10 wineserver -k 2>/dev/null || true
    stop_screen
}
trap cleanup EXIT
start_screen

make_wine_prefix

# No window manager runs on the virtual screen: Wine is told not to wait for one
# (it waits up to 2 s whenever a window it leaves to the manager is shown). The
# setting is taken away again at the end if it was not there before.
x11_key='HKCU\Software\Wine\X11 Driver'
managed_added=""
if ! wine reg query "$x11_key" /v Managed >/dev/null 2>&1; then
    wine reg add "$x11_key" /v Managed /d N /f >/dev/null 2>&1
    managed_added=1
fi

# ---- The run -----------------------------------------------------------------------
ran=$(date +%s.%N)
code=0
# A test that crashes ends its process at once instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="winedbg.exe=d"
if [ -n "$filter" ]; then
    wine "$exe" "$filter" >"$out/tests.log" 2>&1 || code=$?
    cat "$out/tests.log"
    exit "$code"
fi
wine "$exe" >"$out/tests.log" 2>&1 || code=$?
timeout 10 wineserver -w || true
echo "run_conformance_wine: ran under Wine in $(seconds_since "$ran") s"

# The API of a test, by its suite's name.
api_of() {
    case "$1" in
        MessageQueue* | WindowTest* | PlayerInput*) echo "windows and messages" ;;
        Timers*) echo "timers" ;;
        */DisplayAtBothDepths* | DisplayTest* | LostDisplay* | */BlitsAtBothDepths* | Blits* | */ClippedAtEdges*)
            echo "DirectDraw" ;;
        */GdiAtBothDepths* | Gdi.*) echo "GDI" ;;
        ImageTest*) echo "GDI+" ;;
        *) echo "other" ;;
    esac
}
declare -A passed failed
while read -r verdict name _; do
    api=$(api_of "$name")
    if [ "$verdict" = ok ]; then
        passed[$api]=$((${passed[$api]:-0} + 1))
    else
        failed[$api]=$((${failed[$api]:-0} + 1))
    fi
done < <(grep -E '^(ok|FAILED) ' "$out/tests.log")
echo "run_conformance_wine: under Wine, per API (the same tests run on our layer under ctest):"
for api in "windows and messages" timers DirectDraw GDI GDI+ other; do
    [ -n "${passed[$api]:-}${failed[$api]:-}" ] || continue
    printf '  %-22s %3d passed, %d failed\n' "$api" "${passed[$api]:-0}" "${failed[$api]:-0}"
done
deviations=$(grep -c '^\[ WINE     \]' "$out/tests.log" || true)
echo "run_conformance_wine: $deviations expectation(s) left out under Wine, for these reasons:"
grep '^\[ WINE     \]' "$out/tests.log" | sed 's/^\[ WINE     \] expectation left out: /  - /' |
    sort | uniq -c | sed 's/^ */  /'
grep -E '^(FAILED|TIMEOUT) ' "$out/tests.log" || true
tail -n1 "$out/tests.log"
echo "run_conformance_wine: log in $out/tests.log"
exit "$code"
