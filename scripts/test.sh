#!/usr/bin/env bash
# Installs what is missing, builds, checks the formatting and runs every test (widget tests under Xvfb),
# then the core and CLI tests again under the sanitizers, then each fuzz program for a short while.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TRAWLIX_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh" --test
"$top/scripts/build.sh" -DBUILD_TESTING=ON -DBUILD_BENCHMARKS=ON
cmake --build "$build" --target format-check
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j 2 "$@")

# The core and CLI tests under the address and undefined-behaviour sanitizers (GUI off).
"$top/scripts/sanitize.sh"

# Each fuzz program for a short while on its seed inputs.
"$top/scripts/fuzz.sh" "${TRAWLIX_FUZZ_SECONDS:-45}"
