#!/usr/bin/env bash
# What showing the game costs on the SDL host, on virtual X screens of our
# own: for a still screen and for a map that never stops scrolling, at
# 1024 x 768 and 1920 x 1080, for the window's framebuffer (the default) and
# each SDL render driver, the frames a second, the CPU a frame and the CPU
# share of the game and of the X server, the frames presented and skipped,
# the resident size at rest and the CPU used in the background. With the
# Windows build and Wine present, the same game is then run under Wine on the
# same screen for comparison (Wine's fps channel counts its frames; /proc
# gives its CPU time).
#
#   bench/bench_present.sh [BUILD_DIR] [SECONDS] [PRESENTERS] [SCREENS]
#
# BUILD_DIR holds varnholt_bench (configure with -DVARNHOLT_BENCHMARKS=ON);
# default build. Each run plays SECONDS (default 8) and then waits 3 seconds
# in the background. PRESENTERS is a list such as "framebuffer opengl"
# (default: framebuffer opengl opengles2 software), SCREENS one such as
# "1920x1080 3840x2160" (default: 1024x768 1920x1080). VARNHOLT_BENCH_FILTER
# (sharp, nearest, linear) sets the filter; the player's default otherwise.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
seconds="${2:-8}"
presenters="${3:-framebuffer opengl opengles2 software}"
screens="${4:-1024x768 1920x1080}"
background=3
bench="$build/varnholt_bench"
[ -x "$bench" ] || { echo "no $bench: build with -DVARNHOLT_BENCHMARKS=ON" >&2; exit 1; }

# The virtual X screens: start_screen and stop_screen, with Xvfb's log in $out.
name=bench_present
out="$(mktemp -d /tmp/varnholt-bench.XXXXXX)"
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"
trap 'stop_screen; rm -rf "$out"' EXIT

# One line of the table from varnholt_bench's summary line.
row() {
    local size=$1 motion=$2 summary=$3
    awk -v size="$size" -v motion="$motion" '{
        for (i = 2; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
        printf "| %s | %s | %s | %s | %.2f | %.2f | %.2f | %.1f | %.1f | %d | %d | %.1f | %.3f |\n",
            size, v["presenter"], motion, v["fps"], v["game_ms"], v["x_ms"],
            v["game_ms"] + v["x_ms"], v["game_pct"], v["x_pct"], v["presented"], v["skipped"],
            v["rss_mb"], v["background_cpu_s"]
    }' <<<"$summary"
}

echo "SDL host, Xvfb; each run ${seconds} s playing, then ${background} s in the background;" \
    "filter ${VARNHOLT_BENCH_FILTER:-as by default}"
echo
echo "| screen | presenter | pointer | frames/s | game CPU ms/frame | X CPU ms/frame | together ms/frame | game % of a core | X % of a core | presented | skipped | resident MB at rest | background CPU s |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for size in $screens; do
    start_screen "$size"
    for presenter in $presenters; do
        driver=""
        [ "$presenter" = framebuffer ] || driver="$presenter"
        for motion in still scroll; do
            if summary=$(SDL_RENDER_DRIVER="$driver" VARNHOLT_BENCH_XSERVER_PID="$xvfb_pid" \
                timeout 120 "$bench" --present "$seconds" "$background" "$motion" 2>/dev/null |
                grep '^summary '); then
                row "$size" "$motion" "$summary"
            else
                echo "| $size | $presenter | $motion | did not run | | | | | | | | | |"
            fi
        done
    done
    stop_screen
done
[ "$presenters" = "framebuffer opengl opengles2 software" ] || exit 0

exe="$root/build-windows/varnholt.exe"
if [ ! -f "$exe" ] || ! command -v wine >/dev/null; then
    echo
    echo "Windows build under Wine: not run (no $exe or no wine)"
    exit 0
fi

# A Wine prefix of our own: its processes are ours alone to time and to end.
export WINEPREFIX="/tmp/varnholt-bench-wine-prefix-$$"
trap 'stop_screen; WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$out"' EXIT

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

start_screen 1024x768
export WINEDEBUG="-all,+fps"
wineboot -i >/dev/null 2>&1 || true
hz=$(getconf CLK_TCK)
echo
echo "Windows build under Wine $(wine --version), Xvfb 1024x768"
log="$(mktemp)"
(cd "$root/assets" && exec wine "$exe") >"$log" 2>&1 &
game=$!
sleep 3  # start-up of Wine itself
before=$(cpu_ticks)
sleep "$seconds"
after=$(cpu_ticks)
# wined3d reports the presents of the last few seconds on each reading; the
# first reading covers Wine's start-up and is left out.
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
