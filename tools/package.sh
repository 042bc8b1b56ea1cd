#!/usr/bin/env bash
# Builds the Debian package of Varnholt: varnholt_<version>_amd64.deb in the
# repository's top folder (or $VARNHOLT_PACKAGE_DIR). It installs what is
# missing, builds the game in build-package/ (or $VARNHOLT_PACKAGE_BUILD_DIR)
# with Debian's hardening flags for /usr, and packs it with CPack, which reads
# the package's dependencies from the program with dpkg-shlibdeps. Extra
# arguments go to CMake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VARNHOLT_PACKAGE_BUILD_DIR:-$root/build-package}"
out="${VARNHOLT_PACKAGE_DIR:-$root}"

"$root/tools/setup.sh" dpkg-dev

# The flags Debian builds its own packages with (hardening, optimisation).
# CMake reads no CPPFLAGS: the preprocessor's (_FORTIFY_SOURCE) go with the
# compiler's. Given on every run, they hold for a build folder made before too.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
# Only what the package holds is built: the program and its documents.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DVARNHOLT_TESTS=OFF \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target varnholt varnholt_documents
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)

package=("$build"/cpack/varnholt_*_*.deb)
[ -f "${package[0]}" ] || { echo "package: cpack made no package" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/varnholt_*_*.deb
mv "${package[@]}" "$out/"
for deb in "${package[@]}"; do echo "package: $out/$(basename "$deb")"; done
