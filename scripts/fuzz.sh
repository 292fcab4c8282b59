#!/usr/bin/env bash
# Installs what is missing, builds the fuzz targets in build-sanitize/ (clang
# with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; the build
# the monkey test shares, scripts/sanitize-build.sh) and runs each for a
# bounded time on a scratch copy of its seed corpus, so fuzz/corpus/ never
# grows. Fails on any crash, hang (an input
# taking over 10 s), memory blow-up, leak, sanitizer report or broken
# invariant; the input that did it is kept in build-sanitize/artifacts/.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target...]
# FUZZ_SEED and FUZZ_RUNS, when set, fix libFuzzer's seed and cap its inputs,
# so that a run (CI's) tries the same inputs every time.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(catalogue legacy settings bookmarks)

scripts/sanitize-build.sh "${targets[@]/#/fuzz_}"

# The targets write and rewrite small files for every input: on a memory file
# system that is several times faster than on disk.
base=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
scratch=$(mktemp -d "$base/quillmere-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch/tmp" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" \
       XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$TMPDIR" "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
artifacts=build-sanitize/artifacts
mkdir -p "$artifacts"

failed=()
summary=()
for t in "${targets[@]}"; do
  corpus="$scratch/corpus-$t"
  cp -r "fuzz/corpus/$t" "$corpus"
  log="$scratch/$t.log"
  extra=()
  # Qt's settings cache keeps memory from one input to the next, so libFuzzer
  # would scan for leaks after nearly every input: eight times fewer inputs,
  # and the scans found nothing. The other targets keep the leak check.
  [ "$t" = settings ] && extra=(-detect_leaks=0)
  echo "fuzz: running $t for $seconds s"
  rc=0
  [ -n "${FUZZ_SEED:-}" ] && extra+=(-seed="$FUZZ_SEED")
  [ -n "${FUZZ_RUNS:-}" ] && extra+=(-runs="$FUZZ_RUNS")
  "build-sanitize/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${extra[@]}" \
    -dict="fuzz/$t.dict" -artifact_prefix="$artifacts/$t-" "$corpus" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^Done \([0-9]*\) runs in .*/\1/p' "$log" | tail -n 1)
  if [ "$rc" -ne 0 ] || [ -z "$runs" ] || grep -qE '^SUMMARY: |ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|runtime error:' "$log"; then
    echo "fuzz: $t FAILED (exit $rc); the end of its log:"
    tail -n 80 "$log"
    failed+=("$t")
    last=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 || true)
    kept=$(sed -n 's/.*Test unit written to \([^ ]*\).*/\1/p' "$log" | tail -n 1)
    last=${last#\#}
    summary+=("$t: FAILED after ${last:-0} inputs; input kept as ${kept:-(none)}")
  else
    summary+=("$t: $runs inputs in $seconds s, nothing found")
  fi
done

echo "fuzz: summary"
printf '  %s\n' "${summary[@]}"
[ ${#failed[@]} -eq 0 ]
