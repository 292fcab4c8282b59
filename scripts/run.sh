#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillmere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the program: the tests and benchmarks are not needed to use it.
scripts/build.sh quillmere
exec build/quillmere "$@"
