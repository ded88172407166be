#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [build-folder] [extra cmake args...]
# Installs what it needs first (Debian packages, as root); safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
