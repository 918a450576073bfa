#!/usr/bin/env bash
# Builds both DLLs and the installer and writes dist/: the three images, the release zip and
# a SHA256SUMS of them. Assumes the toolchain is installed (scripts/setup.sh).
#
# The same sources give the same bytes in every file of dist/, whatever the folder, the
# clock, the time zone, the umask and the locale of the build: the images carry no time
# stamp and no build path (see cmake/windows.cmake), and the zip lists its members in a
# fixed order with one fixed time and fixed permissions. That time is SOURCE_DATE_EPOCH
# when set, else the last commit's time, else 1980-01-01 (the earliest a zip can hold).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/common.sh
umask 022
export LC_ALL=C TZ=UTC

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$root" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  fi
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-315532800}
fi
export SOURCE_DATE_EPOCH

scripts/fetch-tinyxml.sh
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target deliverables
done

rm -rf dist
mkdir -p dist/x86 dist/x64
cp build/win32/bin/pelzor.dll dist/x86/
cp build/win64/bin/pelzor.dll dist/x64/
cp build/win32/bin/Tressvold.exe dist/x86/

# A tool's own version line and the version of the Debian package it comes from.
package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo '?'; }
tool() {
  echo "$("$1" --version 2>/dev/null | head -n 1) [Debian package $2 $(package_version "$2")]"
}
# The revision fetch-tinyxml.sh built from: the newest in the cache by Debian's version order.
parser_revision=$(tinyxml_debian_revision third_party/cache)
if [ -z "$parser_revision" ]; then
  echo "release: stopping: no Debian source package of the parser in third_party/cache, so" \
    "BUILDINFO cannot name the parser's revision (scripts/fetch-tinyxml.sh fetches it)" >&2
  exit 1
fi
parser_patches=$(tinyxml_project_patches "$root" | sed 's/^/    /')

# The release package: both DLLs, the installer, the macro module, the README, the tool
# versions of this build (BUILDINFO) and a SHA-256 list of them.
version=$(sed -n 's/^project(pelzor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$(mktemp -d)
trap 'rm -rf "$package"' EXIT
mkdir -p "$package/x86" "$package/x64" "$package/vba"
cp dist/x86/* "$package/x86/"
cp dist/x64/pelzor.dll "$package/x64/"
cp vba/Pelzor.bas "$package/vba/"
cp README.md "$package/"
cat >"$package/BUILDINFO" <<INFO
pelzor $version
source date: $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)
32-bit compiler: $(tool i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix)
64-bit compiler: $(tool x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix)
32-bit binutils: $(tool i686-w64-mingw32-ld binutils-mingw-w64-i686)
64-bit binutils: $(tool x86_64-w64-mingw32-ld binutils-mingw-w64-x86-64)
zip: $(zip -v | sed -n 's/^This is \(Zip [^ ]*\).*/\1/p') [Debian package zip $(package_version zip)]
XML parser: TinyXML 2.6.2 [Debian source package tinyxml $parser_revision]
  with only Debian's patches CVE-2021-42260.patch and CVE-2023-34194.patch
  and then the project's own patches (patches/tinyxml, in this order):
$parser_patches
INFO
(cd "$package" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum > SHA256SUMS)
# Every member gets the same time and permissions; no directory entries, no extra fields
# (owner, access times), members in byte order of their names.
find "$package" -type d -exec chmod 755 {} +
find "$package" -type f -exec chmod 644 {} + -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip_file="$root/dist/pelzor-$version-windows.zip"
(cd "$package" && find . -type f | sed 's|^\./||' | sort | zip -qX -D "$zip_file" -@)
# The zip's module must be the repository's bytes, CRLF line ends included: the VBA editor
# imports it as the module Pelzor only with CRLF.
if ! check=$(python3 tests/vba/check_vba_declares.py vba/Pelzor.bas --zip "$zip_file" \
  --tables tests/image/exports_x86.txt tests/image/exports_x64.txt); then
  echo "release: stopping: the zip's vba/Pelzor.bas fails the module check:" >&2
  echo "$check" >&2
  exit 1
fi

# The list a rebuild is compared with: every other file of dist/.
(cd dist && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum > SHA256SUMS)

echo "dist/ holds:"
find dist -type f | sort | sed 's/^/  /'
