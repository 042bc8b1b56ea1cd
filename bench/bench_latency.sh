#!/usr/bin/env bash
# Click-to-picture latency of the game on virtual X screens of our own, at
# 1024 x 768 and 1920 x 1080 (Xvfb, 60 Hz): the game runs full screen, and
# varnholt_latency_probe clicks the pros and mvr tabs through XTest and reads
# the X server's pixels under the panel's title every 0.3 ms until they
# change, with the pointer resting before each click and with it moving over
# the map. Prints the median, the 90th percentile and the longest.
#
#   bench/bench_latency.sh [BUILD_DIR] [CLICKS] [-- GAME OPTIONS...]
#
# BUILD_DIR holds varnholt and varnholt_latency_probe (configure with
# -DVARNHOLT_BENCHMARKS=ON); default build. CLICKS a run, default 40. Game
# options (--filter=nearest, say) are passed to the game.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
clicks="${2:-40}"
shift $(($# < 2 ? $# : 2))
[ "${1:-}" = "--" ] && shift
game="$build/varnholt"
probe="$build/varnholt_latency_probe"
for program in "$game" "$probe"; do
    [ -x "$program" ] || { echo "no $program: build with -DVARNHOLT_BENCHMARKS=ON" >&2; exit 1; }
done

name=bench_latency
out="$(mktemp -d /tmp/varnholt-latency.XXXXXX)"
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"
game_pid=""
stop_game() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; wait "$game_pid" 2>/dev/null || true; fi
    game_pid=""
}
trap 'stop_game; stop_screen; rm -rf "$out"' EXIT

# The game's settings file of its own, with every setting at its default.
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

echo "Click to picture, Xvfb at 60 Hz, $clicks clicks a run; game options: ${*:-none}"
echo
echo "| screen | pointer before the click | median ms | p90 ms | max ms |"
echo "|---|---|---|---|---|"
for size in 1024x768 1920x1080; do
    start_screen "$size"
    (cd "$root/assets" && exec "$game" "$@") >"$out/game.log" 2>&1 &
    game_pid=$!
    # The probe waits for the game's picture.
    for pointer in resting moving; do
        if line=$("$probe" "$pointer" "$clicks"); then
            awk -v size="$size" '{
                for (i = 2; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
                printf "| %s | %s | %s | %s | %s |\n", size, v["pointer"], v["median_ms"],
                    v["p90_ms"], v["max_ms"]
            }' <<<"$line"
        else
            echo "| $size | $pointer | did not run | | |"
        fi
    done
    stop_game
    stop_screen
done
