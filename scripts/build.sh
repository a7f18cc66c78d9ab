#!/usr/bin/env bash
# Configures and builds into build/ (or $TRAWLIX_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAWLIX_BUILD_DIR:-$top/build}
launcher=()
# A compiler cache, where one is installed, makes rebuilds in fresh clones quick.
if command -v ccache > /dev/null; then
    export CCACHE_BASEDIR=$top
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" > /dev/null
cmake --build "$build" -j "$(nproc)"
