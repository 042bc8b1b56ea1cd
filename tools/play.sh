#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it with the art folder
# as its working directory. Its exit code is the game's (the shell sees only
# the low 8 bits of it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_BUILD_DIR:-$root/build}"
"$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --target varnholt -j"$(nproc)"
cd "$root/assets"
exec "$build/varnholt" "$@"
