#!/usr/bin/env bash
# Cross-builds the Windows version of Varnholt with MinGW-w64 into
# build-windows/ (or $VARNHOLT_WINDOWS_BUILD_DIR) and packs it for players:
# dist/varnholt-windows.zip holds varnholt.exe with the art folders Lots/,
# Ambiances/ and GUI/ beside it, since the game reads its art relative to its
# working directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_WINDOWS_BUILD_DIR:-$root/build-windows}"
dist="$root/dist"
triplet=x86_64-w64-mingw32

"$root/tools/setup.sh" g++-mingw-w64-x86-64 zip

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
exe="$build/varnholt.exe"

# Every DLL the program asks for must come with Windows itself.
allowed='^(kernel32|user32|gdi32|gdiplus|ddraw|winmm|msvcrt|advapi32)\.dll$'
unexpected=$("$triplet-objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' |
    grep -Ev "$allowed" || true)
if [ -n "$unexpected" ]; then
    echo "build_windows: varnholt.exe needs DLLs Windows does not have: $unexpected" >&2
    exit 1
fi

# The player's copy loses its debugging information; build-windows/ keeps it.
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
"$triplet-strip" -o "$stage/varnholt.exe" "$exe"
cp -r "$root/assets/Lots" "$root/assets/Ambiances" "$root/assets/GUI" "$stage/"
mkdir -p "$dist"
rm -f "$dist/varnholt-windows.zip"
(cd "$stage" && zip -qr -X "$dist/varnholt-windows.zip" varnholt.exe Lots Ambiances GUI)
echo "build_windows: $exe"
echo "build_windows: $dist/varnholt-windows.zip"
