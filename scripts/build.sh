#!/usr/bin/env bash
# Configures and builds into build/ (the program ends up at build/quillmere).
# With target names as arguments only those are built (and what they need);
# without, everything: the program, the tests and the benchmarks.
# ccache, when installed, keeps rebuilds of unchanged sources cheap.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
