#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program (arguments go to it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF
exec "${TRAWLIX_BUILD_DIR:-$top/build}/src/gui/trawlix" "$@"
