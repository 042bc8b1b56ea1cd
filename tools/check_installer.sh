#!/usr/bin/env bash
# Runs the Windows installer of Varnholt under Wine as a player would, plays
# the installed game and uninstalls it again, checking:
#   - a folder that cannot be written (on a drive that takes no files): the
#     silent installer ends with 2 and says so, naming the folder, and
#     installs nothing;
#   - installed over an older version (made here from the same script, with a
#     file and a folder this version lacks), the older one is gone first;
#   - installed silently for the current user (/S /DesktopShortcut): the
#     folder is %LOCALAPPDATA%\Programs\Varnholt and holds the zip's files,
#     byte for byte, and the uninstaller; LICENSE.txt is the licence with
#     CR LF line ends; the Start Menu and desktop shortcuts start varnholt.exe
#     in that folder with its icon; the uninstall key under HKCU carries its
#     values;
#   - the game started from the shortcut's target, in the shortcut's working
#     directory, passes tools/run_wine.sh (with --linux, its first frame is
#     the Linux build's pixel for pixel, and Escape ends it with 0);
#   - the uninstall key's QuietUninstallString removes every file, shortcut
#     and the key, and leaves a file the player put in the folder;
#   - the same for everyone (/AllUsers): Program Files, HKLM, the common
#     Start Menu;
#   - at the end the prefix holds what it held before, files and registry.
#
#   tools/check_installer.sh [--installer FILE] [--zip FILE] [--linux [PROGRAM]]
#
# The installer and the zip default to the newest ones in dist/ (made by
# tools/build_windows.sh); --linux goes to run_wine.sh. The Wine prefix is
# run_wine.sh's; logs go to a new folder under /tmp, printed at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
started=$(date +%s.%N)

installer=""
zip=""
play=()
while (($#)); do
    case "$1" in
        --installer) installer="$(realpath "$2")"; shift 2 ;;
        --zip) zip="$(realpath "$2")"; shift 2 ;;
        --linux)
            play+=(--linux)
            if [ $# -gt 1 ] && [[ "$2" != --* ]]; then play+=("$(realpath "$2")"); shift; fi
            shift ;;
        *) echo "check_installer: unknown argument $1" >&2; exit 2 ;;
    esac
done
newest() { ls -t "$root"/dist/$1 2>/dev/null | head -n1 || true; }
installer="${installer:-$(newest 'varnholt-*-windows-setup.exe')}"
zip="${zip:-$(newest 'varnholt-*-windows.zip')}"
[ -f "$installer" ] && [ -f "$zip" ] ||
    { echo "check_installer: no installer or zip in dist/ (run tools/build_windows.sh)" >&2; exit 1; }
version=$(basename "$zip" | sed -n 's/^varnholt-\([0-9.]*\)-windows\.zip$/\1/p')

"$root/tools/setup.sh" wine nsis unzip liblnk-utils

out="$(mktemp -d /tmp/varnholt-installer.XXXXXX)"
name=check_installer
# shellcheck source=tools/lib/screen_checks.sh
source "$root/tools/lib/screen_checks.sh"
export WINEPREFIX="${WINEPREFIX:-/tmp/varnholt-wine-prefix}"
export WINEARCH=win64
# No Linux menu entries for the shortcuts Wine sees made.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
export WINEDEBUG=-all
make_wine_prefix
unzip -q "$zip" -d "$out/zip"

section=$(date +%s.%N)
lap() {
    echo "  time  $1: $(seconds_since "$section") s"
    section=$(date +%s.%N)
}

# ---- Wine's folders, registry, shortcuts and programs ------------------------------
# C:\a\b as the file in the prefix.
unix_path() {
    local path="${1//\\//}"
    echo "$WINEPREFIX/drive_c/${path#[Cc]:/}"
}
mapfile -t folders < <(wine cmd /c \
    'echo %LOCALAPPDATA%&echo %APPDATA%&echo %USERPROFILE%&echo %ProgramFiles%&echo %ProgramData%' |
    tr -d '\r')
local_appdata="${folders[0]}" appdata="${folders[1]}" profile="${folders[2]}"
program_files="${folders[3]}" program_data="${folders[4]}"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnholt'
# The uninstall key's values under HKCU or HKLM, and a shortcut's fields, as
# NAME=VALUE lines; nothing when there is no such key or file.
entry() { wine reg query "$1\\$uninstall_key" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \([A-Za-z]*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p'; }
shortcut() { lnkinfo "$(unix_path "$1")" 2>/dev/null | tr -d '\r' |
    sed -n 's/^\t\([A-Za-z ]*[a-z]\)\t*: \(.*\)$/\1=\2/p'; }
value() { sed -n "s/^$1=//p" <<<"$2"; }
# Passes when every line after the first two is among the lines of ACTUAL.
has_lines() {
    local what="$1" actual="$2" missing
    shift 2
    missing=$(printf '%s\n' "$@" | grep -Fvx -f <(printf '%s\n' "$actual") || true)
    if [ -z "$missing" ]; then pass "$what"; else
        fail "$what: not so for"
        sed 's/^/        /' <<<"$missing"
    fi
}
# Runs a Windows command line ("C:\...\x.exe" ARGUMENTS; its exit code in
# `code`), then waits until every program in the prefix has ended: an NSIS
# uninstaller goes on from a copy of itself in %TEMP%.
run_and_wait() {
    local program arguments
    program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$1")
    arguments=$(sed -n 's/^"[^"]*" *//p' <<<"$1")
    code=0
    # shellcheck disable=SC2086
    wine "$program" $arguments || code=$?
    timeout 60 wineserver -w || fail "Wine's programs still ran 60 s after: $1"
}
# What the prefix holds: its files and folders, and the registry's lines that
# name Varnholt. Left out: the empty folder an NSIS uninstaller leaves in
# %TEMP% (it runs from there), and the user's Programs folder, a folder of
# Windows' own that the installer makes when it is missing.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . | grep -v -e '/Temp/~nsu[^/]*\.tmp$' \
        -e '/AppData/Local/Programs$' | sort) >"$out/$1.files"
    grep -ih varnholt "$WINEPREFIX"/*.reg | sed 's/\] [0-9]*$/]/' | sort >"$out/$1.keys" || true
}
snapshot before

# An install in DIR: the uninstall key under ROOT, what Apps & features shows,
# and the shortcuts LINK..., which must start the program in DIR with its icon.
check_install() {
    local root_key="$1" dir="$2" link values size estimated what
    shift 2
    values=$(entry "$root_key")
    what="$root_key\\$uninstall_key: DisplayName, DisplayVersion $version, Publisher,"
    has_lines "$what DisplayIcon, InstallLocation, UninstallString, QuietUninstallString" "$values" \
        DisplayName=Varnholt "DisplayVersion=$version" "Publisher=The Varnholt developers" \
        "DisplayIcon=$dir\\varnholt.exe,0" "InstallLocation=$dir" \
        "UninstallString=\"$dir\\uninstall.exe\"" "QuietUninstallString=\"$dir\\uninstall.exe\" /S"
    # In KiB (reg prints it in hexadecimal), within a tenth of the files' sizes.
    size=$(find "$(unix_path "$dir")" -type f -printf '%s\n' | awk '{s += $1} END {printf "%d", s / 1024}')
    estimated=$(($(value EstimatedSize "$values")))
    if ((estimated * 10 >= size * 9 && estimated * 10 <= size * 11)); then
        pass "EstimatedSize: $estimated KiB, for $size KiB of files"
    else
        fail "EstimatedSize: $estimated KiB, for $size KiB of files"
    fi
    for link in "$@"; do
        has_lines "$link starts varnholt.exe in $dir, with its icon" "$(shortcut "$link")" \
            "Local path=$dir\\varnholt.exe" "Working directory=$dir" "Icon location=$dir\\varnholt.exe"
    done
}

# Uninstalls as Apps & features does, quietly, with a file of the player's in
# the folder: the folder, the key and the shortcuts LINK... must go, the
# player's file must stay.
check_uninstall() {
    local root_key="$1" dir="$2" quiet left=() link
    shift 2
    echo "notes of the player's" >"$(unix_path "$dir")/notes.txt"
    quiet=$(value QuietUninstallString "$(entry "$root_key")")
    run_and_wait "$quiet"
    mapfile -t left < <(cd "$(unix_path "$dir")" 2>/dev/null && find . -mindepth 1 ! -name notes.txt)
    [ -z "$(entry "$root_key")" ] || left+=("$root_key\\$uninstall_key")
    for link in "$@"; do [ ! -e "$(unix_path "$link")" ] || left+=("$link"); done
    if ((${#left[@]})); then
        fail "$quiet left behind: ${left[*]}"
    elif [ ! -f "$(unix_path "$dir")/notes.txt" ]; then
        fail "$quiet removed the player's notes.txt"
    else
        pass "$quiet: exit code $code; the files, the key and the shortcuts are gone, the player's file stays"
    fi
    rm -rf "$(unix_path "$dir")"
}

# ---- A folder that cannot be written --------------------------------------------------
# Drive P: is /proc, where no file can be made, as on a read-only drive.
ln -sfn /proc "$WINEPREFIX/dosdevices/p:"
run_and_wait "\"$installer\" /S /D=P:\\Varnholt" 2>"$out/blocked.txt"
rm -f "$WINEPREFIX/dosdevices/p:"
said=$(tr -d '\r' <"$out/blocked.txt" | grep -F 'P:\Varnholt' | grep 'cannot be written' || true)
if [ "$code" -eq 2 ] && [ -n "$said" ] && [ -z "$(entry HKCU)" ]; then
    pass "P:\\Varnholt cannot be written: exit code 2, nothing installed, and it says: $said"
else
    fail "P:\\Varnholt cannot be written: exit code $code, said \"$(cat "$out/blocked.txt")\""
fi
lap "a folder that cannot be written"

# ---- For the current user, over an older version ----------------------------------------
cp -r "$out/zip" "$out/older"
mkdir "$out/older/Retired"
echo "a file only the older version had" >"$out/older/Retired/old.txt"
"$root/tools/build_installer.sh" --from "$out/older" --version 0.9.0 --out "$out/older-setup.exe" >/dev/null
run_and_wait "\"$out/older-setup.exe\" /S"
dir="$local_appdata\\Programs\\Varnholt"
folder="$(unix_path "$dir")"
[ "$(value DisplayVersion "$(entry HKCU)")" = 0.9.0 ] && [ -f "$folder/Retired/old.txt" ] ||
    fail "version 0.9.0 did not install in $dir"
lap "the older version"

run_and_wait "\"$installer\" /S /DesktopShortcut"
[ "$code" -eq 0 ] || fail "install over 0.9.0: exit code $code"
# The files: the zip's, byte for byte, and the uninstaller; none of the older version's.
(cd "$out/zip" && find . -type f; echo ./uninstall.exe) | sort >"$out/expected.files"
(cd "$folder" 2>/dev/null && find . -type f | sort || true) >"$out/installed.files"
differing=$(cd "$out/zip" && find . -type f -exec sh -c '! cmp -s "$1" "$2/$1"' _ {} "$folder" \; -print)
if ! diff -u "$out/expected.files" "$out/installed.files" >"$out/files.diff"; then
    fail "installed over 0.9.0, $dir does not hold the zip's files and uninstall.exe:"
    grep '^[+-][^+-]' "$out/files.diff" | sed 's/^/        /'
elif [ -n "$differing" ]; then
    fail "files in $dir differ from the zip's: $(paste -sd' ' <<<"$differing")"
else
    pass "installed over 0.9.0: $dir holds the zip's $(($(wc -l <"$out/expected.files") - 1))" \
        "files, byte for byte, uninstall.exe and nothing else"
fi
if sed 's/$/\r/' "$root/LICENSE" | cmp -s - "$folder/LICENSE.txt"; then
    pass "LICENSE.txt is the licence, with CR LF line ends"
else
    fail "LICENSE.txt is not LICENSE with CR LF line ends"
fi
start_menu="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Varnholt.lnk"
check_install HKCU "$dir" "$start_menu" "$profile\\Desktop\\Varnholt.lnk"
lap "install"

# ---- Played from the shortcut -------------------------------------------------------------
info=$(shortcut "$start_menu")
if "$root/tools/run_wine.sh" --exe "$(unix_path "$(value 'Local path' "$info")")" \
    --art "$(unix_path "$(value 'Working directory' "$info")")" "${play[@]}" >"$out/play.txt" 2>&1; then
    pass "the installed game, started as its shortcut says, passed run_wine.sh:"
else
    fail "the installed game, started as its shortcut says, failed run_wine.sh:"
fi
sed -n 's/^  \(ok\|FAIL\)/       &/p' "$out/play.txt"
lap "play"

check_uninstall HKCU "$dir" "$start_menu" "$profile\\Desktop\\Varnholt.lnk"
lap "uninstall"

# ---- For everyone -----------------------------------------------------------------------
run_and_wait "\"$installer\" /S /AllUsers"
dir="$program_files\\Varnholt"
start_menu="$program_data\\Microsoft\\Windows\\Start Menu\\Programs\\Varnholt.lnk"
[ "$code" -eq 0 ] && [ -z "$(entry HKCU)" ] || fail "install for everyone: exit code $code, or a key under HKCU"
check_install HKLM "$dir" "$start_menu"
check_uninstall HKLM "$dir" "$start_menu"
lap "for everyone"

# ---- Nothing left ------------------------------------------------------------------------
snapshot after
if diff -u "$out/before.files" "$out/after.files" >"$out/left.diff" &&
    diff -u "$out/before.keys" "$out/after.keys" >>"$out/left.diff"; then
    pass "the prefix holds what it held before: $(wc -l <"$out/after.files") files and folders," \
        "no registry line naming Varnholt"
else
    fail "left in the prefix:"
    grep '^[+-][^+-]' "$out/left.diff" | sed 's/^/        /'
fi

echo "check_installer: $(seconds_since "$started") s; logs in $out"
if [ "$failures" -ne 0 ]; then
    echo "check_installer: $failures check(s) failed"
    exit 1
fi
echo "check_installer: all checks passed"
