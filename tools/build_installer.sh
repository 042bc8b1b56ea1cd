#!/usr/bin/env bash
# Makes the Windows installer of Varnholt with NSIS (Debian's nsis package):
# dist/varnholt-<version>-windows-setup.exe, from the players' zip that
# tools/build_windows.sh packs (and which calls this script), so that the zip
# and the installer carry the same program, art, README.txt and LICENSE.txt.
# The installer's script is packaging/windows/varnholt.nsi; this script hands
# it the version, the files, and the lists of them it installs and removes.
#
#   tools/build_installer.sh [--from ZIP|FOLDER] [--version VERSION] [--out FILE]
#
# --from defaults to the newest zip in dist/, the version to the one in the
# zip's name (the version in project()), --out to
# dist/varnholt-<version>-windows-setup.exe.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

from=""
version=""
out=""
while (($#)); do
    case "$1" in
        --from) from="$(realpath "$2")"; shift 2 ;;
        --version) version="$2"; shift 2 ;;
        --out) out="$(realpath -m "$2")"; shift 2 ;;
        *) echo "build_installer: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ -z "$from" ]; then
    from="$(ls -t "$root"/dist/varnholt-*-windows.zip 2>/dev/null | head -n1 || true)"
    [ -n "$from" ] || { echo "build_installer: no zip in dist/ (run tools/build_windows.sh)" >&2; exit 1; }
fi
if [ -z "$version" ]; then
    version=$(basename "$from" | sed -n 's/^varnholt-\([0-9.]*\)-windows\.zip$/\1/p')
    [ -n "$version" ] || { echo "build_installer: no version in the name $from (give --version)" >&2; exit 1; }
fi
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    { echo "build_installer: the version must be MAJOR.MINOR.PATCH, not $version" >&2; exit 1; }
out="${out:-$root/dist/varnholt-$version-windows-setup.exe}"

"$root/tools/setup.sh" nsis unzip icoutils libxml2-utils

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -d "$from" ]; then
    files="$from"
else
    unzip -q "$from" -d "$work/files"
    files="$work/files"
fi
for needed in varnholt.exe LICENSE.txt README.txt; do
    [ -f "$files/$needed" ] || { echo "build_installer: $from has no $needed" >&2; exit 1; }
done

# The lists, in NSIS's words: each folder made and its files put in, then for
# the uninstaller each file removed and the folders, deepest first, removed
# when empty. Names with characters NSIS would read as its own are refused.
if (cd "$files" && find . -mindepth 1) | grep -q '[$"`;]'; then
    echo "build_installer: a file name in $from has a character NSIS reads as its own (\$ \" \` ;)" >&2
    exit 1
fi
windows() { local path="${1#./}"; echo "${path//\//\\}"; }
{
    while IFS= read -r folder; do
        target='$INSTDIR'
        [ "$folder" = . ] || target+="\\$(windows "$folder")"
        echo "SetOutPath \"$target\""
        find "$files/$folder" -mindepth 1 -maxdepth 1 -type f | sort |
            while IFS= read -r file; do echo "File \"$file\""; done
    done < <(cd "$files" && find . -type d | sort)
} >"$work/install_files.nsh"
{
    (cd "$files" && find . -type f | sort) | while IFS= read -r file; do
        echo "Delete \"\$INSTDIR\\$(windows "$file")\""
    done
    (cd "$files" && find . -mindepth 1 -type d | sort -r) | while IFS= read -r folder; do
        echo "RMDir \"\$INSTDIR\\$(windows "$folder")\""
    done
} >"$work/uninstall_files.nsh"

mkdir -p "$(dirname "$out")"
rm -f "$out"
makensis -V2 -DVERSION="$version" -DFILES="$files" -DLISTS="$work" \
    -DICON="$root/assets/icon/varnholt.ico" -DOUTFILE="$out" \
    "$root/packaging/windows/varnholt.nsi"
# Installing for the current user must not bring up Windows' administrator
# prompt: the installer's manifest asks for the rights of whoever starts it.
level=$(wrestool -x --raw --type=24 "$out" |
    xmllint --xpath "string(//*[local-name()='requestedExecutionLevel']/@level)" - 2>/dev/null || true)
if [ "$level" != asInvoker ]; then
    echo "build_installer: $out asks Windows for the execution level \"$level\", not asInvoker" >&2
    exit 1
fi
echo "build_installer: $out ($(find "$files" -type f | wc -l) files, version $version)"
