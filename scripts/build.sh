#!/usr/bin/env bash
# Quick start, step 1: installs what is missing, builds both DLLs and the installer, writes
# dist/ (scripts/release.sh) and shows the library at work through the real DLL under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/release.sh

echo
echo "The library at work (dist/x64/pelzor.dll under Wine, reading demo/sample.xml):"
build/win64/wine-run.sh build/win64/bin/pelzor_demo.exe dist/x64/pelzor.dll demo/sample.xml
