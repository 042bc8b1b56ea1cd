#!/usr/bin/env bash
# Installs the Debian package the way a player would and checks it:
#   - lintian finds no error in it (its other findings are printed);
#   - the menu entry, the AppStream metadata and the manual page pass their
#     validators, and `varnholt --version` tells the package's version;
#   - the copyright file puts every file under the Expat (MIT) licence, in
#     the words of the repository's LICENSE, and the AppStream metadata says MIT;
#   - /usr/games/varnholt started from / on a virtual X screen shows, in its
#     first frame, the same picture the headless game makes from the
#     repository's art (varnholt_screenshot), and its window has the icon;
#   - Escape ends it with exit code 0;
#   - once the package is purged, nothing it installed is left on disk.
#
#   tools/check_package.sh [PACKAGE.deb]
#
# The package defaults to the one tools/package.sh made; the screenshot tool
# is built in build/ when it exists, else in build-package/. Screenshots and
# logs go to a new folder under /tmp, printed at the end. Needs root (or sudo)
# for apt-get.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
started=$(date +%s.%N)

deb="${1:-}"
if [ -z "$deb" ]; then
    shopt -s nullglob
    found=("$root"/varnholt_*_*.deb)
    shopt -u nullglob
    [ ${#found[@]} -eq 1 ] || { echo "check_package: no single package in $root (run tools/package.sh)" >&2; exit 1; }
    deb="${found[0]}"
fi
deb="$(realpath "$deb")"
# The headless screenshot tool: from the test build ($VARNHOLT_BUILD_DIR, by
# default build/) when there is one (CI's is built already), otherwise from
# the package's build folder.
tools_build="${VARNHOLT_BUILD_DIR:-$root/build}"
[ -f "$tools_build/CMakeCache.txt" ] || tools_build="${VARNHOLT_PACKAGE_BUILD_DIR:-$root/build-package}"
[ -f "$tools_build/CMakeCache.txt" ] || { echo "check_package: no build folder (run tools/package.sh)" >&2; exit 1; }
cmake --build "$tools_build" -j"$(nproc)" --target varnholt_screenshot >/dev/null
screenshot=$(sed -n 's/^varnholt_screenshot //p' "$tools_build/programs.txt")

"$root/tools/setup.sh" lintian desktop-file-utils appstream man-db xvfb xdotool imagemagick x11-utils
sudo=""
if [ "$(id -u)" != 0 ]; then sudo=sudo; fi

out="$(mktemp -d /tmp/varnholt-package.XXXXXX)"
name=check_package
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"

game_pid=""
cleanup() {
    if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; fi
    stop_screen
}
trap cleanup EXIT

# ---- The package itself --------------------------------------------------------
echo "check_package: $deb"
section=$(date +%s.%N)
lap() {
    echo "  time  $1: $(seconds_since "$section") s"
    section=$(date +%s.%N)
}
linted=0
lintian --fail-on error --display-info --pedantic "$deb" >"$out/lintian.txt" 2>&1 || linted=$?
counts=""
for level in E W I P; do
    counts+=" $level $(grep -c "^$level: " "$out/lintian.txt" || true)"
done
sed -n 's/^\([EWIP]: .*\)/        \1/p' "$out/lintian.txt"
if [ "$linted" -eq 0 ]; then
    pass "lintian: no errors (tags by level:$counts)"
else
    fail "lintian reports errors (tags by level:$counts; $out/lintian.txt)"
fi

lap "lintian"

# ---- Installed as a player installs it ---------------------------------------------
version=$(dpkg-deb -f "$deb" Version)
if dpkg-query -W -f='${Status}' varnholt 2>/dev/null | grep -q 'install ok installed'; then
    $sudo apt-get purge -y -qq varnholt >/dev/null
fi
(cd "$(dirname "$deb")" && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
    "./$(basename "$deb")" >"$out/install.log" 2>&1) ||
    { cat "$out/install.log"; echo "check_package: apt-get install failed" >&2; exit 1; }
dpkg -L varnholt >"$out/files.txt"
pass "installed with apt-get: $(wc -l <"$out/files.txt") paths"

said=$(/usr/games/varnholt --version)
if [ "$said" = "varnholt $version" ]; then pass "varnholt --version: $said"; else
    fail "varnholt --version said \"$said\", the package is $version"; fi

desktop=$(grep '^/usr/share/applications/.*\.desktop$' "$out/files.txt")
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$out/files.txt")
if desktop-file-validate "$desktop" >"$out/desktop.txt" 2>&1 && [ ! -s "$out/desktop.txt" ]; then
    pass "desktop-file-validate $desktop: clean"
else
    fail "desktop-file-validate $desktop:"; sed 's/^/        /' "$out/desktop.txt"
fi
if appstreamcli validate --no-net "$metainfo" >"$out/appstream.txt" 2>&1 &&
    ! grep -qE '^[EWI]: ' "$out/appstream.txt"; then
    pass "appstreamcli validate --no-net $metainfo: $(grep -o 'Validation was successful.*' "$out/appstream.txt")"
else
    fail "appstreamcli validate --no-net $metainfo:"; sed 's/^/        /' "$out/appstream.txt"
fi
# The licence: the paragraph for every file names Expat, and its text is LICENSE's.
copyright=/usr/share/doc/varnholt/copyright
paragraph() { awk -v first="$1" 'BEGIN {RS = ""} index($0, first "\n") == 1' "$copyright"; }
licence_text=$(paragraph "License: Expat" | tail -n +2 | sed 's/^ //; s/^\.$//')
if paragraph "Files: *" | grep -qx 'License: Expat' &&
    [ "$licence_text" = "$(tail -n +5 "$root/LICENSE")" ] &&
    grep -q '<project_license>MIT</project_license>' "$metainfo"; then
    pass "$copyright: every file under Expat, in LICENSE's words; AppStream: MIT"
else
    fail "$copyright does not put every file under Expat in LICENSE's words, or AppStream does not say MIT"
fi
MANWIDTH=80 man --warnings 6 varnholt 2>"$out/man.txt" >"$out/man-page.txt" || true
if [ -s "$out/man-page.txt" ] && [ ! -s "$out/man.txt" ]; then
    pass "man --warnings 6 varnholt: $(wc -l <"$out/man-page.txt") lines, no warnings"
else
    fail "man --warnings 6 varnholt:"; sed 's/^/        /' "$out/man.txt"
fi

lap "install and validators"

# ---- Played from / on a virtual screen -------------------------------------------
(cd "$root/assets" && "$screenshot" "$out/reference.png" 1 >"$out/reference.log" 2>&1) ||
    { cat "$out/reference.log"; echo "check_package: $screenshot failed" >&2; exit 1; }

start_screen

(cd / && exec /usr/games/varnholt) >"$out/game.log" 2>&1 &
game_pid=$!
if ! window=$(timeout 30 xdotool search --sync --name '^Varnholt$' | head -n1); then
    fail "no window called Varnholt within 30 s (log: $out/game.log)"
    exit 1
fi
if shoot_first_frame first.png; then
    differing=$(pixels_differing "$out/first.png" "$out/reference.png")
    if [ "$differing" -eq 0 ]; then
        pass "first frame, started from /, is pixel for pixel the headless game's ($out/first.png)"
    else
        fail "first frame differs from the headless game's in $differing pixels ($out/first.png)"
        compare "$out/first.png" "$out/reference.png" "$out/difference.png" 2>/dev/null || true
    fi
else
    fail "the screen stayed empty ($out/first.png, log: $out/game.log)"
fi
# _NET_WM_ICON: width, height, then the pixels.
icon=$(xprop -id "$window" -notype 32c _NET_WM_ICON 2>/dev/null |
    sed -n '1s/^_NET_WM_ICON = \([0-9]*\), \([0-9]*\),.*/\1x\2/p' || true)
if [ "$icon" = "64x64" ]; then pass "the window's icon: $icon"; else
    fail "the window has no 64x64 icon (_NET_WM_ICON: ${icon:-none})"; fi

xdotool key Escape
timeout 20 tail --pid="$game_pid" -f /dev/null || true
code=0
if kill -0 "$game_pid" 2>/dev/null; then
    fail "the game still runs 20 s after Escape"
    kill "$game_pid" 2>/dev/null || true
fi
wait "$game_pid" || code=$?
game_pid=""
if [ "$code" -eq 0 ]; then pass "Escape: exit code 0"; else fail "Escape: exit code $code"; fi
stop_screen

lap "play"

# ---- Removed again ------------------------------------------------------------------
$sudo apt-get purge -y -qq varnholt >"$out/purge.log" 2>&1
left=0
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A folder may stay when other packages own it or keep files in it.
    if [ -d "$path" ] && { dpkg-query -S "$path" >/dev/null 2>&1 || [ -n "$(ls -A "$path")" ]; }; then
        continue
    fi
    echo "        left behind: $path"
    left=$((left + 1))
done <"$out/files.txt"
if [ "$left" -eq 0 ]; then
    pass "purged: none of the $(wc -l <"$out/files.txt") paths it installed is left"
else
    fail "purged: $left paths left behind"
fi

lap "purge"
echo "check_package: $(seconds_since "$started") s; screenshots and logs in $out"
if [ "$failures" -ne 0 ]; then
    echo "check_package: $failures check(s) failed"
    exit 1
fi
echo "check_package: all checks passed"
