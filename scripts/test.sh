#!/usr/bin/env bash
# Quick start, step 2: runs every test. Native unit suites, the same suites under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows builds' tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
status=0
for preset in native asan win32 win64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
  ctest --preset "$preset" -j2 || status=1
done
exit $status
