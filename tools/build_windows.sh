#!/usr/bin/env bash
# Cross-builds the Windows version of Varnholt with MinGW-w64 into
# build-windows/ (or $VARNHOLT_WINDOWS_BUILD_DIR) and packs it for players:
# dist/varnholt-<version>-windows.zip holds varnholt.exe with the art folders
# Lots/, Ambiances/ and GUI/ beside it, since the game reads its art relative
# to its working directory, and a README.txt. Before packing it checks the
# program: it needs only DLLs that come with Windows, and it carries the icon
# (id 32512, IDI_APPLICATION) and a version resource telling the project's
# version, read back from the .exe with wrestool.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_WINDOWS_BUILD_DIR:-$root/build-windows}"
dist="$root/dist"
triplet=x86_64-w64-mingw32

"$root/tools/setup.sh" g++-mingw-w64-x86-64 icoutils

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
exe="$build/varnholt.exe"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# Every DLL the program asks for must come with Windows itself.
allowed='^(kernel32|user32|gdi32|gdiplus|ddraw|winmm|msvcrt|advapi32)\.dll$'
unexpected=$("$triplet-objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' |
    grep -Ev "$allowed" || true)
if [ -n "$unexpected" ]; then
    echo "build_windows: varnholt.exe needs DLLs Windows does not have: $unexpected" >&2
    exit 1
fi

# The icon group the game's LoadIconA(instance, IDI_APPLICATION) asks for, its
# seven sizes, and the version resource's strings.
if ! wrestool -l --type=14 --name=32512 "$exe" | grep -q 'type=group_icon'; then
    echo "build_windows: varnholt.exe has no icon 32512 (IDI_APPLICATION)" >&2
    exit 1
fi
icons=$(wrestool -l --type=3 "$exe" | grep -c 'type=icon' || true)
strings=$(wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null |
    tr -c '[:print:]' '\n' | grep -v '^$' || true)
resource_value() { echo "$strings" | grep -A1 -x "$1" | sed -n 2p; }
for key in ProductName ProductVersion FileVersion FileDescription; do
    echo "build_windows: version resource $key: $(resource_value "$key")"
done
if [ "$icons" -ne 7 ] || [ "$(resource_value ProductName)" != Varnholt ] ||
    [ "$(resource_value ProductVersion)" != "$version" ] ||
    [ "$(resource_value FileVersion)" != "$version" ]; then
    echo "build_windows: varnholt.exe's resources are not right: $icons icons, version" \
        "\"$(resource_value ProductVersion)\" for $version" >&2
    exit 1
fi

# The player's zip (CPack): the program loses its debugging information there;
# build-windows/ keeps it.
(cd "$build" && cpack -G ZIP -B "$build/cpack" >/dev/null)
mkdir -p "$dist"
rm -f "$dist"/varnholt-*windows.zip
mv "$build/cpack/varnholt-$version-windows.zip" "$dist/"
echo "build_windows: $exe"
echo "build_windows: $dist/varnholt-$version-windows.zip"
