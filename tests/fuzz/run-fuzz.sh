#!/usr/bin/env bash
# Builds the INI fuzz target with clang's libFuzzer and runs it for a bounded time.
set -euo pipefail
src="$1"
out="$2"
seconds="${TOLLWICK_FUZZ_SECONDS:-60}"
mkdir -p "$out/corpus"
cp -n "$src"/tests/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true
# shellcheck disable=SC2046
clang++ -std=c++17 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined \
    -I"$src/platform" $(pkg-config --cflags Qt6Core) \
    "$src/tests/fuzz/fuzz_profile.cpp" "$src/platform/profiledocument.cpp" \
    "$src/platform/profiledecoding.cpp" "$src/platform/atomicfile.cpp" \
    $(pkg-config --libs Qt6Core) -o "$out/fuzz_profile"
"$out/fuzz_profile" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 15
echo "fuzz_profile: 1 passed, 0 failed"
