#!/usr/bin/env bash
# Quick start, step 1: installs what is missing, builds both DLLs and the installer, writes
# dist/ and shows the library at work through the real DLL under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target deliverables
done

rm -rf dist
mkdir -p dist/x86 dist/x64
cp build/win32/bin/pelzor.dll dist/x86/
cp build/win64/bin/pelzor.dll dist/x64/
cp build/win32/bin/Tressvold.exe dist/x86/

# The release package: both DLLs, the installer, the macro module, the README and a
# SHA-256 list of them.
version=$(sed -n 's/^project(pelzor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$(mktemp -d)
mkdir -p "$package/x86" "$package/x64" "$package/vba"
cp dist/x86/* "$package/x86/"
cp dist/x64/pelzor.dll "$package/x64/"
cp vba/Pelzor.bas "$package/vba/"
cp README.md "$package/"
(cd "$package" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum > SHA256SUMS)
(cd "$package" && zip -qrX "$root/dist/pelzor-$version-windows.zip" .)
rm -rf "$package"

echo "dist/ holds:"
find dist -type f | sort | sed 's/^/  /'

echo
echo "The library at work (dist/x64/pelzor.dll under Wine, reading demo/sample.xml):"
build/win64/wine-run.sh build/win64/bin/pelzor_demo.exe dist/x64/pelzor.dll demo/sample.xml
