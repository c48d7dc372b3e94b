#!/usr/bin/env bash
# Builds the Debian package of Pellix with Debian's own compiler and linker flags (hardening
# included) and checks it with lintian.
#
#   scripts/package.sh          leaves build-package/pellix_<version>_<arch>.deb
#   sudo apt install ./build-package/pellix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${PELLIX_PACKAGE_BUILD_DIR:-build-package}
# CMake reads CXXFLAGS and LDFLAGS at the first configure only, and never CPPFLAGS (which carries
# _FORTIFY_SOURCE): start from an empty folder and fold CPPFLAGS in. -fno-ident leaves out the
# compiler's version note, which an installed program does not need.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS -fno-ident"
rm -rf "$build"
echo "== Build ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DPELLIX_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target pellix pellix-xls pellix_desktop_files pellix_sample_folder

echo "== Package"
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/pellix_*.deb)
dpkg-deb --info "$deb"

echo "== lintian"
# Every tag down to the pedantic ones is shown; an error fails the build. What remains is
# explained in packaging/lintian-notes.md.
lintian --pedantic --display-info --display-experimental --fail-on error "$deb"
echo "package: $deb"
