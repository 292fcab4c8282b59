#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The whole run sits
# under one Xvfb server: suites that need a real X server use it, the others
# run on Qt's offscreen platform. Tests never touch the real home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
       XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

cd build
# openbox gives the X tests a window manager (focus, minimising, closing).
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
  'openbox >/dev/null 2>&1 & wm=$!; ctest --output-on-failure -j"$(nproc)" "$@"; rc=$?; kill $wm 2>/dev/null; exit $rc' \
  ctest "$@"
