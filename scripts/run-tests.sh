#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test suite on both targets
# (x86-64 native, i386 under qemu-i386) and under AddressSanitizer/UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
status=0
for preset in default i386 asan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  ctest --preset "$preset" || status=1
done
# Exported names of the shared library against the function list.
bash scripts/check-exports.sh build/x86_64/src/libqor_fnx_e8r.so || status=1
bash scripts/check-exports.sh build/i386/src/libqor_fnx_e8r.so || status=1
exit $status
