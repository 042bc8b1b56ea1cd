# What the scripts that play the game on a virtual X screen share: reporting
# checks, the screen itself, screenshots and their comparison, and a Wine
# prefix. Sourced by run_wine.sh, run_conformance_wine.sh, check_package.sh
# and bench/bench_present.sh, which set `name` (for their messages) and `out`
# (a folder for logs and screenshots) first.

failures=0
pass() { echo "  ok    $*"; }
fail() {
    echo "  FAIL  $*"
    failures=$((failures + 1))
}
seconds_since() { echo "$(date +%s.%N) $1" | awk '{printf "%.1f", $1 - $2}'; }

# Starts Xvfb with one screen of WxH (default 1024x768) on a display number it
# picks itself, waits until it is ready and exports DISPLAY; its process id is
# in xvfb_pid. Ends the script when it does not come up. A script may start
# one screen after another, each once the last is stopped.
xvfb_pid=""
start_screen() {
    rm -f "$out/display"
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$out/display" \
        2>"$out/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$out/display" ] && break
        sleep 0.1
    done
    [ -s "$out/display" ] || { echo "$name: Xvfb did not start, see $out/xvfb.log" >&2; exit 1; }
    DISPLAY=":$(head -n1 "$out/display")"
    export DISPLAY
}

stop_screen() {
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    xvfb_pid=""
}

# Makes the Wine prefix $WINEPREFIX on first use, without the .NET and HTML
# engines, which would ask to be downloaded. Wine links the user's Desktop,
# Documents and the like to the home folder; here they are folders of the
# prefix's own, so that what a program puts on the desktop stays inside it.
make_wine_prefix() {
    local started folder
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        started=$(date +%s.%N)
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >"$out/wineboot.log" 2>&1
        wineserver -w
        echo "$name: made the Wine prefix $WINEPREFIX in $(seconds_since "$started") s"
    fi
    for folder in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
    done
}

# ---- Screenshots ----------------------------------------------------------------------
shoot() { import -window root "$out/$1"; }
# How many pixels differ between two pictures, or between the same rectangle
# (WxH+X+Y) of both.
pixels_differing() {
    local count
    if [ -n "${3:-}" ]; then
        count=$(compare -metric AE "$1[$3]" "$2[$3]" null: 2>&1 || true)
    else
        count=$(compare -metric AE "$1" "$2" null: 2>&1 || true)
    fi
    echo "$count" | awk '{printf "%d", $1}'
}
# Shoots $2 until its region $3 differs from the same region of $1, for at
# most $4 seconds, and echoes how many pixels differ in the last shot: 0 when
# nothing changed in time.
shoot_until_changed() {
    local deadline=$((SECONDS + $4)) count
    while :; do
        shoot "$2"
        count=$(pixels_differing "$out/$1" "$out/$2" "$3")
        if [ "$count" -gt 0 ] || [ "$SECONDS" -ge "$deadline" ]; then break; fi
        sleep 0.1
    done
    echo "$count"
}
# Waits until the screen shows more than a handful of colours, then a little
# longer, and keeps that frame as $1. 0 when a picture came.
shoot_first_frame() {
    for _ in $(seq 40); do
        shoot "$1"
        if [ "$(identify -format '%k' "$out/$1")" -gt 64 ]; then break; fi
        sleep 0.25
    done
    sleep 0.5
    shoot "$1"
    [ "$(identify -format '%k' "$out/$1")" -gt 64 ]
}
