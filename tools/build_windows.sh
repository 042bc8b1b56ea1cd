#!/usr/bin/env bash
# Cross-builds the Windows version of Varnholt with MinGW-w64 into
# build-windows/ (or $VARNHOLT_WINDOWS_BUILD_DIR) and packs it for players:
# dist/varnholt-<version>-windows.zip holds varnholt.exe with the art folders
# Lots/, Ambiances/ and GUI/ beside it, since the game reads its art relative
# to its working directory, a README.txt and the LICENSE.txt; then
# tools/build_installer.sh makes the installer from that zip. Before packing it
# checks the program, and checks it again in the zip: it needs only DLLs that
# come with Windows, and it carries the icon (id 32512, IDI_APPLICATION), a
# version resource telling the project's version and the application manifest
# (type 24, id 1: per-monitor DPI awareness, the Windows versions it knows),
# all read back from the .exe with wrestool.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_WINDOWS_BUILD_DIR:-$root/build-windows}"
dist="$root/dist"
triplet=x86_64-w64-mingw32

"$root/tools/setup.sh" g++-mingw-w64-x86-64 icoutils libxml2-utils unzip

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
exe=$(sed -n 's/^varnholt //p' "$build/programs.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

check_program() {
    local exe="$1" unexpected icons strings manifest
    # Every DLL the program asks for must come with Windows itself.
    unexpected=$("$triplet-objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' |
        grep -Ev "$allowed" || true)
    if [ -n "$unexpected" ]; then
        echo "build_windows: $exe needs DLLs Windows does not have: $unexpected" >&2
        exit 1
    fi

    # The icon group the game's LoadIconA(instance, IDI_APPLICATION) asks for,
    # its seven sizes, and the version resource's strings.
    if ! wrestool -l --type=14 --name=32512 "$exe" | grep -q 'type=group_icon'; then
        echo "build_windows: $exe has no icon 32512 (IDI_APPLICATION)" >&2
        exit 1
    fi
    icons=$(wrestool -l --type=3 "$exe" | grep -c 'type=icon' || true)
    strings=$(wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null |
        tr -c '[:print:]' '\n' | grep -v '^$' || true)
    resource_value() { echo "$strings" | grep -A1 -x "$1" | sed -n 2p; }
    if [ "$icons" -ne 7 ] || [ "$(resource_value ProductName)" != Varnholt ] ||
        [ "$(resource_value ProductVersion)" != "$version" ] ||
        [ "$(resource_value FileVersion)" != "$version" ]; then
        echo "build_windows: $exe's resources are not right: $icons icons, version" \
            "\"$(resource_value ProductVersion)\" for $version" >&2
        exit 1
    fi

    # The application manifest Windows reads at start (RT_MANIFEST, id 1). One
    # that is not well-formed XML stops the program from starting at all.
    manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
    if [ -z "$manifest" ] || ! xmllint --noout - <<<"$manifest" 2>/dev/null; then
        echo "build_windows: $exe has no well-formed application manifest (type 24, id 1)" >&2
        exit 1
    fi
    manifest_value() { xmllint --xpath "$1" - <<<"$manifest" 2>/dev/null || true; }
    local problems=() problem guid
    [ "$(manifest_value "string(//*[local-name()='dpiAwareness'])")" = "PerMonitorV2, PerMonitor" ] ||
        problems+=("dpiAwareness is not \"PerMonitorV2, PerMonitor\"")
    [ "$(manifest_value "string(//*[local-name()='dpiAware'])")" = "true/pm" ] ||
        problems+=("dpiAware is not true/pm")
    [ "$(manifest_value "string(//*[local-name()='requestedExecutionLevel']/@level)")" = asInvoker ] ||
        problems+=("requestedExecutionLevel is not asInvoker")
    for guid in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
        1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        [ "$(manifest_value "count(//*[local-name()='supportedOS'][@Id='{$guid}'])")" = 1 ] ||
            problems+=("no supportedOS {$guid}")
    done
    if ((${#problems[@]})); then
        for problem in "${problems[@]}"; do echo "build_windows: $exe's manifest: $problem" >&2; done
        exit 1
    fi
}
allowed='^(kernel32|user32|gdi32|gdiplus|ddraw|winmm|msvcrt|advapi32)\.dll$'
check_program "$exe"
echo "build_windows: $exe: icon, version $version, manifest (PerMonitorV2, Windows 7 to 11)"

# The player's zip (CPack): the program loses its debugging information there;
# build-windows/ keeps it.
(cd "$build" && cpack -G ZIP -B "$build/cpack" >/dev/null)
mkdir -p "$dist"
rm -f "$dist"/varnholt-*windows.zip
zip="$dist/varnholt-$version-windows.zip"
mv "$build/cpack/varnholt-$version-windows.zip" "$zip"
# The packed program is stripped: its resources must have come through.
packed="$(mktemp -d)"
trap 'rm -rf "$packed"' EXIT
unzip -q "$zip" varnholt.exe -d "$packed"
check_program "$packed/varnholt.exe"
echo "build_windows: $zip"

"$root/tools/build_installer.sh" --from "$zip"
