#!/usr/bin/env bash
# Builds the libFuzzer programs (clang) into build-fuzz/ and runs each for SECONDS (default 60) on
# its seed inputs under tests/fuzz/corpus/. Inputs it finds go to a scratch folder, not into the
# repository; a crash leaves its input in build-fuzz/crashes/ and fails the script.
#   scripts/fuzz.sh            a minute per program
#   scripts/fuzz.sh 3600       an hour per program
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${TRAWLIX_FUZZ_BUILD_DIR:-$top/build-fuzz}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DBUILD_FUZZERS=ON \
    -DBUILD_GUI=OFF -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/crashes"
for program in "$build"/tests/fuzz/fuzz_*; do
    name=${program##*/fuzz_}
    scratch=$(mktemp -d)
    echo "fuzzing $name for ${seconds}s"
    log="$build/crashes/$name.log"
    status=0
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$name-" "$scratch" "$top/tests/fuzz/corpus/$name" > "$log" 2>&1 || status=$?
    rm -rf "$scratch"
    if [ "$status" -ne 0 ]; then
        cat "$log" >&2
        echo "fuzz_$name failed: its input is in $build/crashes/" >&2
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || tail -n 3 "$log"
done
