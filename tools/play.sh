#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it with the art folder
# as its working directory. Its exit code is the game's (the shell sees only
# the low 8 bits of it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
"$root/tools/build.sh"
cd "$root/assets"
exec "${VARNHOLT_BUILD_DIR:-$root/build}/varnholt"
