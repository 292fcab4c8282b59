#!/usr/bin/env bash
# Installs what the program needs (Qt and the build tools; not the test
# tools), builds it, and starts Quillmere. Arguments go to the program
# (scripts/run.sh --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "run: configuring and building the program in build/ (the first build takes a few minutes)"
# Only the program: the tests and benchmarks are not needed to use it.
scripts/build.sh quillmere >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display: the window needs a desktop session (DISPLAY or WAYLAND_DISPLAY);" \
       "without one only --help, --version, --list, --find and --data-dir work"
fi
exec build/quillmere "$@"
