#!/usr/bin/env bash
# Installs what is missing, builds the x86-64 library and tool, and runs the tool's tour.
# It configures the default preset exactly as the tests do (the preset states every option), so
# it leaves nothing in build/x86_64 that changes what scripts/run-tests.sh builds or runs.
set -euo pipefail
cd "$(dirname "$0")/.."
QOR_WITH_I386=0 bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target qor
./build/x86_64/apps/qor "$@"
