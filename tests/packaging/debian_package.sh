#!/bin/bash
# The Debian package of a build: made with cpack into a scratch folder, then checked: the files it
# installs (and nothing else), its control fields and dependencies, the menu entry and the
# metainfo with their validators, the manual pages, no library search path of our own, and
# lintian with no error or warning.
#
#   debian_package.sh BUILD_DIR SAMPLE_FOLDER APP_ID VERSION
set -euo pipefail

build=$1
sample=$2
id=$3
version=$4

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.txt" || { cat "$scratch/cpack.txt"; fail "cpack"; }
debs=("$scratch"/pellix_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "cpack made: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

echo "== contents"
expected=$scratch/expected.txt
{
    for file in bin/pellix bin/pellix-xls share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
                share/icons/hicolor/scalable/apps/$id.svg share/man/man1/pellix.1.gz share/man/man1/pellix-xls.1.gz \
                share/doc/pellix/copyright share/doc/pellix/changelog.gz; do
        echo "./usr/$file"
    done
    for size in 16 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/$id.png"; done
    (cd "$sample" && find . -type f | sed 's|^\./|./usr/share/pellix/sample/|')
} | sort >"$expected"
# Regular files with their mode and owner; directories must be plain 0755 root ones.
dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { print $6 }' | sort >"$scratch/files.txt"
diff -u "$expected" "$scratch/files.txt" || fail "the package holds other files than expected"
dpkg-deb -c "$deb" | awk '$2 != "root/root" { print "owner:", $0 }
    $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print "mode:", $0 }
    $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print "mode:", $0 }
    $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode:", $0 }
    $1 !~ /^[-d]/ { print "kind:", $0 }' >"$scratch/odd.txt"
[[ ! -s "$scratch/odd.txt" ]] || { cat "$scratch/odd.txt"; fail "odd owners, modes or kinds"; }
echo "ok: $(wc -l <"$scratch/files.txt") files, all expected"

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == pellix ]] || fail "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] || fail "Version: $(field Version)"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
# Found from the programs' shared libraries, and what the window needs besides.
for package in libc6 libstdc++6 libgsf-1-114 libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 \
               fonts-ipafont-gothic qt6-qpa-plugins; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] || fail "Depends lacks $package"
done

echo "== menu entry, metainfo, manual pages, programs"
tree=$scratch/tree
dpkg-deb -x "$deb" "$tree"
desktop=$tree/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$tree/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -qx "Exec=pellix" "$desktop" || fail "the entry does not start pellix"
grep -qx "Icon=$id" "$desktop" || fail "the entry's icon is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$tree/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"
if command -v man >/dev/null; then
    for page in pellix pellix-xls; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$tree/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
        [[ -z "$warnings" ]] || fail "man $page: $warnings"
    done
fi
for program in pellix pellix-xls; do
    readelf -d "$tree/usr/bin/$program" >"$scratch/dynamic.txt"
    if grep -qE 'RPATH|RUNPATH' "$scratch/dynamic.txt"; then fail "$program has a library search path"; fi
done
echo "ok"

if command -v lintian >/dev/null; then
    echo "== lintian"
    status=0
    lintian --fail-on error,warning "$deb" >"$scratch/lintian.txt" 2>&1 || status=$?
    grep -v 'running with root privileges' "$scratch/lintian.txt" || true
    [[ $status == 0 ]] || fail "lintian reports an error or a warning"
fi
