#!/usr/bin/env bash
# Configures and builds into build/ (the program ends up at build/quillmere).
# With target names as arguments only those are built (and what they need);
# without, everything: the program, the tests and the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
