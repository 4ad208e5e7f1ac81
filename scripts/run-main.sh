#!/usr/bin/env bash
# Installs what is missing, builds the x86-64 library and tool, and runs the tool's tour.
set -euo pipefail
cd "$(dirname "$0")/.."
QOR_WITH_I386=0 bash scripts/install-deps.sh
cmake --preset default -DQOR_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default --target qor
./build/x86_64/apps/qor "$@"
