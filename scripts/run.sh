#!/usr/bin/env bash
# Builds Brimlow and UrlHound and starts Brimlow from its program folder.
# Installs what it needs first (Debian packages, as root); safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build

bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$(nproc)" --target Brimlow UrlHound
exec "$build/bin/Brimlow" "$@"
