#!/usr/bin/env bash
# Fails when a C++ file in the repository is not formatted as .clang-format
# says; `clang-format -i FILE` formats one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh format
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "check-format: every file is formatted"
