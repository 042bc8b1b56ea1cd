#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
"$root/tools/build.sh" -DVARNHOLT_WERROR=ON
cd "${VARNHOLT_BUILD_DIR:-$root/build}"
ctest -j"$(nproc)" --output-on-failure
