#!/usr/bin/env bash
# Configures and builds build-sanitize/: clang with AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer's coverage, holding the libraries,
# the fuzz targets and the monkey test. scripts/fuzz.sh and scripts/monkey.sh
# both build here, so a CI run compiles the sources under the sanitizers once.
#   scripts/sanitize-build.sh TARGET...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh fuzz
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
start=$(date +%s)
CC=clang-14 CXX=clang++-14 cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLMERE_FUZZ=ON -DQUILLMERE_TESTS=OFF -DQUILLMERE_BENCH=OFF "${launcher[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build-sanitize -j"$(nproc)" "${targets[@]}"
echo "sanitize-build: $* built in $(( $(date +%s) - start )) s"
