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

# ---- Wine's folders, registry and programs ---------------------------------------------
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
# The uninstall key's values under HKCU or HKLM, as NAME=VALUE lines; nothing
# when there is no key.
entry() { wine reg query "$1\\$uninstall_key" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \([A-Za-z]*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p'; }
value() { sed -n "s/^$1=//p" <<<"$2"; }
# Runs a Windows command line ("C:\...\x.exe" ARGUMENTS), then waits until
# every program in the prefix has ended: an NSIS uninstaller goes on from a
# copy of itself in %TEMP%.
run_and_wait() {
    local program arguments
    program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$1")
    arguments=$(sed -n 's/^"[^"]*" *//p' <<<"$1")
    # shellcheck disable=SC2086
    wine "$program" $arguments
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

# ---- A folder that cannot be written --------------------------------------------------
# Drive P: is /proc, where no file can be made, as on a read-only drive.
ln -sfn /proc "$WINEPREFIX/dosdevices/p:"
code=0
wine "$installer" /S '/D=P:\Varnholt' 2>"$out/blocked.txt" || code=$?
rm -f "$WINEPREFIX/dosdevices/p:"
said=$(tr -d '\r' <"$out/blocked.txt" | grep -F 'P:\Varnholt' | grep 'cannot be written' || true)
if [ "$code" -eq 2 ] && [ -n "$said" ] && [ -z "$(entry HKCU)" ]; then
    pass "P:\\Varnholt cannot be written: exit code 2, nothing installed, and it says: $said"
else
    fail "P:\\Varnholt cannot be written: exit code $code, said \"$(cat "$out/blocked.txt")\""
fi
lap "a folder that cannot be written"

# ---- Over an older version, for the current user --------------------------------------
cp -r "$out/zip" "$out/older"
mkdir "$out/older/Retired"
echo "a file only the older version had" >"$out/older/Retired/old.txt"
"$root/tools/build_installer.sh" --from "$out/older" --version 0.9.0 --out "$out/older-setup.exe" >/dev/null
run_and_wait "\"$out/older-setup.exe\" /S"
dir="$local_appdata\\Programs\\Varnholt"
if [ "$(value DisplayVersion "$(entry HKCU)")" = 0.9.0 ] && [ -f "$(unix_path "$dir")/Retired/old.txt" ]; then
    pass "version 0.9.0 installed in $dir"
else
    fail "version 0.9.0 did not install in $dir"
fi
lap "the older version"

code=0
wine "$installer" /S /DesktopShortcut || code=$?
timeout 60 wineserver -w || true
folder="$(unix_path "$dir")"
[ "$code" -eq 0 ] && pass "silent install over it: exit code 0" || fail "silent install: exit code $code"
if [ ! -e "$folder/Retired" ]; then
    pass "the older version's own files are gone"
else
    fail "the older version's Retired folder is still in $folder"
fi

# The files: the zip's, byte for byte, and the uninstaller.
(cd "$out/zip" && find . -type f | sort; echo ./uninstall.exe) | sort >"$out/expected.files"
(cd "$folder" && find . -type f | sort || true) >"$out/installed.files"
differing=$(cd "$out/zip" && find . -type f -exec sh -c '! cmp -s "$1" "$2/$1"' _ {} "$folder" \; -print)
if ! diff -u "$out/expected.files" "$out/installed.files" >"$out/files.diff"; then
    fail "$dir does not hold the zip's files and uninstall.exe:"
    grep '^[+-][^+-]' "$out/files.diff" | sed 's/^/        /'
elif [ -n "$differing" ]; then
    fail "files in $dir differ from the zip's: $(paste -sd' ' <<<"$differing")"
else
    pass "$dir holds the zip's $(($(wc -l <"$out/expected.files") - 1)) files, byte for byte, and uninstall.exe"
fi
if sed 's/$/\r/' "$root/LICENSE" | cmp -s - "$folder/LICENSE.txt"; then
    pass "LICENSE.txt is the licence, with CR LF line ends"
else
    fail "LICENSE.txt is not LICENSE with CR LF line ends"
fi

# What Apps & features reads.
check_entry() {
    local root_key="$1" dir="$2" values problems=() size estimated
    values=$(entry "$root_key")
    expect() {
        [ "$(value "$1" "$values")" = "$2" ] || problems+=("$1 is \"$(value "$1" "$values")\", not \"$2\"")
    }
    expect DisplayName Varnholt
    expect DisplayVersion "$version"
    expect Publisher "The Varnholt developers"
    expect DisplayIcon "$dir\\varnholt.exe,0"
    expect InstallLocation "$dir"
    expect UninstallString "\"$dir\\uninstall.exe\""
    expect QuietUninstallString "\"$dir\\uninstall.exe\" /S"
    # In KiB (reg prints it in hexadecimal), within a tenth of the files' sizes.
    size=$(find "$(unix_path "$dir")" -type f -printf '%s\n' | awk '{s += $1} END {printf "%d", s / 1024}')
    estimated=$(($(value EstimatedSize "$values")))
    if ! ((estimated * 10 >= size * 9 && estimated * 10 <= size * 11)); then
        problems+=("EstimatedSize is $estimated KiB, the files take $size KiB")
    fi
    if ((${#problems[@]})); then
        fail "$root_key\\$uninstall_key:"
        printf '        %s\n' "${problems[@]}"
    else
        pass "$root_key\\$uninstall_key: DisplayName, DisplayVersion $version, Publisher," \
            "DisplayIcon, EstimatedSize $estimated KiB, UninstallString," \
            "QuietUninstallString"
    fi
}
check_entry HKCU "$dir"
# A shortcut must start the program, in its folder, with its icon.
check_shortcut() {
    local link="$1" dir="$2" info
    if [ ! -f "$(unix_path "$link")" ]; then
        fail "no shortcut $link"
        return
    fi
    info=$(lnkinfo "$(unix_path "$link")" | tr -d '\r' | sed -n 's/^\t\([A-Za-z ]*[a-z]\)\t*: \(.*\)$/\1=\2/p')
    if [ "$(value 'Local path' "$info")" = "$dir\\varnholt.exe" ] &&
        [ "$(value 'Working directory' "$info")" = "$dir" ] &&
        [ "$(value 'Icon location' "$info")" = "$dir\\varnholt.exe" ]; then
        pass "$link starts $dir\\varnholt.exe in $dir"
    else
        fail "$link: target \"$(value 'Local path' "$info")\", working directory" \
            "\"$(value 'Working directory' "$info")\", icon \"$(value 'Icon location' "$info")\""
    fi
}
start_menu="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Varnholt.lnk"
check_shortcut "$start_menu" "$dir"
check_shortcut "$profile\\Desktop\\Varnholt.lnk" "$dir"
lap "install"

# ---- Played from the shortcut -------------------------------------------------------------
info=$(lnkinfo "$(unix_path "$start_menu")" | tr -d '\r')
target=$(sed -n 's/^\tLocal path\t*: //p' <<<"$info")
working=$(sed -n 's/^\tWorking directory\t*: //p' <<<"$info")
if "$root/tools/run_wine.sh" --exe "$(unix_path "$target")" --art "$(unix_path "$working")" \
    "${play[@]}" >"$out/play.txt" 2>&1; then
    pass "the installed game, started as its shortcut says, passed run_wine.sh:"
else
    fail "the installed game, started as its shortcut says, failed run_wine.sh:"
fi
sed -n 's/^  \(ok\|FAIL\)/       &/p' "$out/play.txt"
lap "play"

# ---- Uninstalled ---------------------------------------------------------------------
# Removes the game as Apps & features does, quietly, and checks that the
# folder, the key and the shortcuts are gone, but not the player's own file.
uninstall() {
    local root_key="$1" dir="$2" quiet kept
    shift 2
    echo "notes of the player's" >"$(unix_path "$dir")/notes.txt"
    quiet=$(value QuietUninstallString "$(entry "$root_key")")
    run_and_wait "$quiet"
    kept=$(cd "$(unix_path "$dir")" 2>/dev/null && find . -mindepth 1 ! -name notes.txt | sort || true)
    local left=() link
    [ -z "$kept" ] || left+=("in $dir: $(paste -sd' ' <<<"$kept")")
    [ -z "$(entry "$root_key")" ] || left+=("$root_key\\$uninstall_key")
    for link in "$@"; do
        [ ! -e "$(unix_path "$link")" ] || left+=("$link")
    done
    if ((${#left[@]})); then
        fail "$quiet left behind: ${left[*]}"
    elif [ ! -f "$(unix_path "$dir")/notes.txt" ]; then
        fail "$quiet removed the player's notes.txt"
    else
        pass "$quiet: the files, the key and the shortcuts are gone, the player's notes.txt stays"
    fi
    rm -rf "$(unix_path "$dir")"
}
uninstall HKCU "$dir" "$start_menu" "$profile\\Desktop\\Varnholt.lnk"
lap "uninstall"

# ---- For everyone -----------------------------------------------------------------------
code=0
wine "$installer" /S /AllUsers || code=$?
timeout 60 wineserver -w || true
dir="$program_files\\Varnholt"
start_menu="$program_data\\Microsoft\\Windows\\Start Menu\\Programs\\Varnholt.lnk"
if [ "$code" -eq 0 ] && [ -f "$(unix_path "$dir")/varnholt.exe" ] && [ -z "$(entry HKCU)" ]; then
    pass "silent install for everyone: exit code 0, in $dir"
else
    fail "silent install for everyone: exit code $code, $dir/varnholt.exe missing or a key under HKCU"
fi
check_entry HKLM "$dir"
check_shortcut "$start_menu" "$dir"
uninstall HKLM "$dir" "$start_menu"
lap "for everyone"

# ---- Nothing left ------------------------------------------------------------------------
snapshot after
if diff -u "$out/before.files" "$out/after.files" >"$out/left.diff" &&
    diff -u "$out/before.keys" "$out/after.keys" >>"$out/left.diff"; then
    pass "the prefix holds what it held before: $(wc -l <"$out/after.files") files and folders," \
        "no registry key naming Varnholt"
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
