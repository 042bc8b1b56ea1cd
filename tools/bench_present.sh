#!/usr/bin/env bash
# Presentation and the background on the SDL host, on a virtual X screen:
# frames a second, CPU time per frame, and the CPU used while the game is in
# the background. With the Windows build and Wine present, the same game is
# run under Wine on the same screen for comparison (Wine's fps channel counts
# its frames; /proc gives its CPU time).
#
#   tools/bench_present.sh [BUILD_DIR] [RUNS] [SECONDS]
#
# BUILD_DIR holds varnholt_bench (configure with -DVARNHOLT_BENCHMARKS=ON);
# default build. Each of RUNS runs (default 3) plays SECONDS (default 10)
# and then waits 5 seconds in the background.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
runs="${2:-3}"
seconds="${3:-10}"
background=5
bench="$build/varnholt_bench"
[ -x "$bench" ] || { echo "no $bench: build with -DVARNHOLT_BENCHMARKS=ON" >&2; exit 1; }

# A free display number for our own X server.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

echo "== Linux build, SDL host, Xvfb $DISPLAY 1024x768x24"
for run in $(seq "$runs"); do
    echo "-- run $run"
    "$bench" --present "$seconds" "$background"
done

exe="$root/build-windows/varnholt.exe"
if [ ! -f "$exe" ] || ! command -v wine >/dev/null; then
    echo "== Windows build under Wine: not run (no $exe or no wine)"
    exit 0
fi

# A Wine prefix of our own: its processes are ours alone to time and to end.
export WINEPREFIX="/tmp/varnholt-bench-wine-prefix-$$"
trap 'kill "$xvfb" 2>/dev/null || true; WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

# User and system clock ticks of the game's processes in our prefix.
cpu_ticks() {
    local total=0 pid
    for pid in $(pgrep -f 'varnholt\.exe' || true); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
        fi
    done
    echo "$total"
}

export WINEDEBUG="-all,+fps"
wineboot -i >/dev/null 2>&1 || true
hz=$(getconf CLK_TCK)
echo "== Windows build under Wine $(wine --version), same Xvfb"
for run in $(seq "$runs"); do
    echo "-- run $run"
    log="$(mktemp)"
    (cd "$root/assets" && exec wine "$exe") >"$log" 2>&1 &
    game=$!
    sleep 3  # start-up of Wine itself
    before=$(cpu_ticks)
    sleep "$seconds"
    after=$(cpu_ticks)
    # wined3d reports the presents of the last few seconds on each reading;
    # the first reading covers Wine's start-up and is left out.
    fps=$(grep 'wined3d_cs_exec_present' "$log" | grep -o 'approx [0-9.]*fps' | tail -n +2 |
          awk '{gsub("fps","",$2); s+=$2; n++} END {if (n) printf "%.1f", s/n; else print "?"}')
    echo "frames per second (wined3d presents, Wine's fps channel): $fps"
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v f="$fps" 'BEGIN {
        cpu = t / hz; printf "CPU: %.2f s in %d s (%.1f %%)", cpu, s, cpu / s * 100
        if (f != "?" && f > 0) printf ", %.3f ms a frame", cpu / (f * s) * 1000
        printf "\n" }'
    wineserver -k 2>/dev/null || true  # ends the game: our prefix's processes only
    wait "$game" 2>/dev/null || true
    rm -f "$log"
done
