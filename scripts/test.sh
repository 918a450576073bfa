#!/usr/bin/env bash
# Quick start, step 2: runs every test. Native unit suites, the same suites (with the
# allocation-failure sweep and the concurrency test) under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows builds' tests under Wine, the native library suite
# under Valgrind's memcheck, the concurrency test under ThreadSanitizer, and the fuzz targets
# for a bounded time.
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
scripts/check-reproducible.sh || status=1

echo "=== valgrind (native library suite) ==="
valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  build/native/tests/unit/xml_bridge/xml_bridge_unit_tests --gtest_brief=1 || status=1

for preset in tsan fuzz; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
  ctest --preset "$preset" -j2 || status=1
done
exit $status
