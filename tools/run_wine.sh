#!/usr/bin/env bash
# Plays the Windows build of Varnholt under Wine on a virtual X screen and
# checks what a player would see:
#   - every exported DirectDraw, GDI and GDI+ function the game calls succeeds
#     (read from Wine's relay trace, calls made by the game itself only);
#   - LoadIconA(moduleInstance, IDI_APPLICATION) finds the program's own icon;
#   - the first frame shows a picture, and with --reference it is compared
#     pixel by pixel with another screenshot (the Linux build's);
#   - a click on the pros tab changes the sidebar's panel and nothing else;
#   - the pointer resting at the right edge scrolls the map;
#   - Escape ends the game with exit code 0.
#
#   tools/run_wine.sh [--exe FILE] [--art DIR] [--zip [FILE]] [--reference PNG]
#                     [--linux [PROGRAM]]
#
# --linux first plays the Linux build (build/'s varnholt) on the same screen and
# uses its first frame as the reference.
# --zip runs the packed game (dist/varnholt-<version>-windows.zip) from a folder
# of its own instead of build-windows/'s varnholt.exe with assets/. Screenshots and logs
# go to a new folder under /tmp, printed at the end. The Wine prefix is
# $WINEPREFIX, by default /tmp/varnholt-wine-prefix; it is made on first use.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# A program where its build folder's programs.txt (written by CMake) says, or
# at the folder's top.
program_in() {
    local found
    found=$(sed -n "s/^varnholt //p" "$1/programs.txt" 2>/dev/null || true)
    echo "${found:-$1/$2}"
}
exe="$(program_in "$root/build-windows" varnholt.exe)"
art="$root/assets"
zip=""
reference=""
linux=""
while (($#)); do
    case "$1" in
        --exe) exe="$(realpath "$2")"; shift 2 ;;
        --art) art="$(realpath "$2")"; shift 2 ;;
        --reference) reference="$(realpath "$2")"; shift 2 ;;
        --linux)
            linux="$(program_in "$root/build" varnholt)"
            if [ $# -gt 1 ] && [[ "$2" != --* ]]; then linux="$(realpath "$2")"; shift; fi
            shift ;;
        --zip)
            zip="$(ls -t "$root"/dist/varnholt-*-windows.zip 2>/dev/null | head -n1 || true)"
            if [ $# -gt 1 ] && [[ "$2" != --* ]]; then zip="$(realpath "$2")"; shift; fi
            [ -f "$zip" ] || { echo "run_wine: no zip in dist/ (run tools/build_windows.sh)" >&2; exit 1; }
            shift ;;
        *) echo "run_wine: unknown argument $1" >&2; exit 2 ;;
    esac
done

"$root/tools/setup.sh" wine xvfb xdotool imagemagick unzip binutils-mingw-w64-x86-64

out="$(mktemp -d /tmp/varnholt-wine.XXXXXX)"
export WINEPREFIX="${WINEPREFIX:-/tmp/varnholt-wine-prefix}"
export WINEARCH=win64
if [ -n "$zip" ]; then
    unzip -q "$zip" -d "$out/game"
    exe="$out/game/varnholt.exe"
    art="$out/game"
fi
[ -f "$exe" ] || { echo "run_wine: no $exe (run tools/build_windows.sh)" >&2; exit 1; }

name=run_wine
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"

# ---- The X screen ----------------------------------------------------------------
game_pid=""
cleanup() {
    if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null || true
        wineserver -k 2>/dev/null || true
    fi
    stop_screen
}
trap cleanup EXIT
start_screen

# ---- The Wine prefix ---------------------------------------------------------------
make_wine_prefix
# The relay trace covers the three libraries whose results we check, and the
# loading of the window class's icon.
WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'ddraw.*;gdiplus.*;gdi32.*;user32.LoadIconA' /f >/dev/null 2>&1

# ---- Screenshots: the parts of the screen compared -----------------------------------
readonly SIDEBAR_PANEL="256x464+0+304"
readonly SIDEBAR="256x768+0+0"
readonly MAP="768x768+256+0"
readonly SCREEN="1024x768+0+0"

cd "$art"

# ---- The Linux build, for the reference picture --------------------------------------
if [ -n "$linux" ]; then
    [ -x "$linux" ] || { echo "run_wine: no $linux (run tools/build.sh)" >&2; exit 1; }
    echo "run_wine: $linux on $DISPLAY, working directory $art"
    "$linux" >"$out/linux.log" 2>&1 &
    linux_pid=$!
    if shoot_first_frame linux.png; then
        reference="$out/linux.png"
    else
        fail "the Linux build showed no picture ($out/linux.png)"
    fi
    xdotool key Escape
    code=0
    timeout 20 tail --pid="$linux_pid" -f /dev/null || kill "$linux_pid" 2>/dev/null || true
    wait "$linux_pid" || code=$?
    echo "  info  the Linux build ended with exit code $code"
fi

# ---- The run -----------------------------------------------------------------------
echo "run_wine: $exe on $DISPLAY, working directory $art"
started=$(date +%s.%N)
WINEDEBUG=+relay wine "$exe" >"$out/wine.log" 2>&1 &
game_pid=$!

if ! timeout 60 xdotool search --sync --name '^Varnholt$' >/dev/null; then
    fail "no window called Varnholt within 60 s (log: $out/wine.log)"
    exit 1
fi
shoot_first_frame first.png || true
colours=$(identify -format '%k' "$out/first.png")
if [ "$colours" -gt 64 ]; then
    pass "first frame after $(seconds_since "$started") s: $colours colours ($out/first.png)"
else
    fail "the screen stayed empty ($colours colours, $out/first.png)"
fi
if [ -n "$reference" ]; then
    differing=$(pixels_differing "$out/first.png" "$reference" "$SCREEN")
    if [ "$differing" -eq 0 ]; then
        pass "first frame is pixel for pixel $reference"
    else
        fail "first frame differs from $reference in $differing pixels"
        compare "$out/first.png" "$reference" "$out/difference.png" 2>/dev/null || true
    fi
fi

# A left click on the pros tab: its panel replaces the amb panel.
xdotool mousemove 100 250 click 1
panel=$(shoot_until_changed first.png pros.png "$SIDEBAR_PANEL" 10)
map=$(pixels_differing "$out/first.png" "$out/pros.png" "$MAP")
if [ "$panel" -gt 0 ] && [ "$map" -eq 0 ]; then
    pass "click on the pros tab: $panel panel pixels changed, map unchanged ($out/pros.png)"
else
    fail "click on the pros tab: $panel panel pixels and $map map pixels changed"
fi

# The pointer resting at the right edge scrolls the map right at about 667
# pixels a second, from the first frame on, until the city's right end shows
# 256 pixels on. Short rests, each followed by a move into the map's middle
# where nothing scrolls, stop it part of the way; as every lot looks alike, a
# view a whole number of lots on looks unmoved, and the next rest shows it.
moved=0
sidebar=0
for rest in 0.02 0.04 0.08 0.12 0.2 0.3; do
    xdotool mousemove 1020 400 sleep "$rest" mousemove 640 400
    moved=$(shoot_until_changed pros.png scrolled.png "$MAP" 2)
    sidebar=$(pixels_differing "$out/pros.png" "$out/scrolled.png" "$SIDEBAR")
    if [ "$moved" -gt 0 ]; then break; fi
done
if [ "$moved" -gt 0 ] && [ "$sidebar" -eq 0 ]; then
    pass "rest of $rest s at the right edge: $moved map pixels moved, sidebar unchanged" \
        "($out/scrolled.png)"
else
    fail "rests at the right edge: $moved map pixels and $sidebar sidebar pixels changed"
fi
# A long rest reaches the right end. Every lot of a new city looks alike, so
# the view two lots on matches the first one.
xdotool mousemove 1020 400
sleep 2
shoot right_end.png
map=$(pixels_differing "$out/pros.png" "$out/right_end.png" "$MAP")
echo "  info  long rest at the right edge: $map map pixels differ from the first view" \
    "($out/right_end.png)"

# Escape ends the game. The shell sees the low 8 bits of its exit code.
xdotool key Escape
for _ in $(seq 200); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$game_pid" 2>/dev/null; then
    fail "the game still runs 20 s after Escape"
    exit 1
fi
code=0
wait "$game_pid" || code=$?
game_pid=""
if [ "$code" -eq 0 ]; then
    pass "Escape: exit code 0 after $(seconds_since "$started") s in all"
else
    fail "Escape: exit code $code"
fi
timeout 10 wineserver -w || wineserver -k || true

# ---- The calls the game made -------------------------------------------------------
# Only calls returning into the game's own image count; Wine's libraries call
# one another too.
read -r base size < <(x86_64-w64-mingw32-objdump -p "$exe" |
    awk '/^ImageBase/ {b = $2} /^SizeOfImage/ {s = $2} END {print b, s}')
verdicts="$out/calls.txt"
calls=0
failed_calls=0
: >"$verdicts"
while read -r function retval caller; do
    ((16#$caller >= 16#$base && 16#$caller < 16#$base + 16#$size)) || continue
    value=$((16#$retval))
    low=$((value & 0xFFFFFFFF))
    case "$function" in
        gdiplus.GdipFree | gdiplus.GdiplusShutdown) continue ;;  # return nothing
        gdiplus.GdipAlloc | gdi32.CreateCompatibleDC) ok=$((value != 0)) ;;
        ddraw.* | gdiplus.*) ok=$((low == 0)) ;;  # S_OK, Ok
        gdi32.GetPixel | gdi32.SetPixel) ok=$((low != 0xFFFFFFFF)) ;;
        gdi32.SelectObject) ok=$((value != 0 && value != -1)) ;;
        gdi32.*) ok=$((low != 0)) ;;
        *) continue ;;
    esac
    calls=$((calls + 1))
    echo "$ok $function $retval" >>"$verdicts"
    [ "$ok" -eq 1 ] || failed_calls=$((failed_calls + 1))
done < <(sed -nE 's/^[0-9a-f]+:Ret  (ddraw|gdiplus|gdi32)\.([A-Za-z0-9_]+)\(\) retval=([0-9a-f]+) ret=([0-9a-f]+).*/\1.\2 \3 \4/p' \
    "$out/wine.log")
if [ "$calls" -gt 0 ] && [ "$failed_calls" -eq 0 ]; then
    pass "all $calls DirectDraw, GDI and GDI+ calls succeeded ($(sort -u -k2,2 "$verdicts" |
        awk '{print $2}' | sed 's/^[a-z0-9]*\.//' | paste -sd' '))"
else
    fail "$failed_calls of $calls DirectDraw, GDI and GDI+ calls failed (see $verdicts)"
    awk '$1 == 0 {print "        " $2 " returned " $3}' "$verdicts"
fi
# The window class's icon: the game asks its own module (the image base) for
# IDI_APPLICATION (0x7f00), which the .exe's icon resource answers.
icon_call=$(sed -nE 's/^([0-9a-f]+):Call  *user32\.LoadIconA\(([0-9a-f]+),([0-9a-f]+)\) ret=([0-9a-f]+).*/\1 \2 \3 \4/p' \
    "$out/wine.log" | while read -r thread instance name caller; do
        ((16#$caller >= 16#$base && 16#$caller < 16#$base + 16#$size)) || continue
        echo "$thread $instance $name"
        break
    done)
icon_answer=$(sed -nE 's/^([0-9a-f]+):Ret  user32\.LoadIconA\(\) retval=([0-9a-f]+) ret=([0-9a-f]+).*/\2 \3/p' \
    "$out/wine.log" | while read -r retval caller; do
        ((16#$caller >= 16#$base && 16#$caller < 16#$base + 16#$size)) || continue
        echo "$retval"
        break
    done)
read -r _ icon_instance icon_name <<<"${icon_call:-- 0 0}"
if [ -n "$icon_call" ] && ((16#$icon_instance == 16#$base && 16#$icon_name == 0x7f00)) &&
    [ -n "$icon_answer" ] && ((16#$icon_answer != 0)); then
    pass "LoadIconA(moduleInstance 0x$icon_instance, IDI_APPLICATION) answered 0x$icon_answer"
else
    fail "LoadIconA(moduleInstance, IDI_APPLICATION): call \"${icon_call:-none}\"," \
        "answer \"${icon_answer:-none}\""
fi
errors=$(grep -c ':err:' "$out/wine.log" || true)
echo "run_wine: $errors error lines from Wine in $out/wine.log"

echo "run_wine: screenshots and logs in $out"
if [ "$failures" -ne 0 ]; then
    echo "run_wine: $failures check(s) failed"
    exit 1
fi
echo "run_wine: all checks passed"
