#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Makes an instrumented clang build of the INI library beside the normal one, builds the
# fuzz target in it and runs it for a bounded time over the seed corpus.
# Usage: run-fuzz.sh SOURCE_DIR OUTPUT_DIR
set -euo pipefail
src="$1"
out="$2"
seconds="${TOLLWICK_FUZZ_SECONDS:-90}"
runs="${TOLLWICK_FUZZ_RUNS:-400000}"
# A fresh corpus and a fixed seed: every run, here or in CI, tries the same inputs in the
# same order, so a passing run stays passing; TOLLWICK_FUZZ_RUNS=-1 explores without end.
rm -rf "$out/corpus"
mkdir -p "$out/corpus"
quietly() { "$@" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }; }
quietly cmake -S "$src" -B "$out/build" -DCMAKE_CXX_COMPILER=clang++ -DTOLLWICK_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
quietly cmake --build "$out/build" --target fuzz_profile -j"$(nproc)"
cp -n "$src"/tests/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true
"$out/build/tests/fuzz/fuzz_profile" -seed=1 -runs="$runs" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 15
echo "fuzz_profile: 1 passed, 0 failed"
