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
# Debian's flags, hardening included, given to CMake directly: the environment's CXXFLAGS would
# be read at the first configure only, and CPPFLAGS (which carries _FORTIFY_SOURCE) never. The
# folder is configured again, not removed: it may be a build folder whose app/ holds a record.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
echo "== Build ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DPELLIX_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j2 --target pellix pellix-xls pellix_desktop_files
# As Debian's own packaging does: cpack strips the debugging symbols, and the compilers' version
# notes go too; an installed program has no use for either.
for program in pellix pellix-xls; do
    objcopy --remove-section=.comment "$build/app/$program"
done

echo "== Package"
rm -f "$build"/pellix_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/pellix_*.deb)
dpkg-deb --info "$deb"

echo "== lintian"
# Every tag down to the pedantic ones is shown; an error fails the build.
lintian --pedantic --display-info --display-experimental --fail-on error "$deb"
echo "package: $deb"
