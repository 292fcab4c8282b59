#!/usr/bin/env bash
# The monkey test under AddressSanitizer and UndefinedBehaviorSanitizer:
# installs clang when missing, builds the monkey in build-sanitize/ (clang;
# the build the fuzz targets share, scripts/sanitize-build.sh) and runs it.
#
#   scripts/monkey.sh SEED STEPS [option...]   one run of SEED for STEPS steps
#                                              (options as quillmere_monkey takes them)
#   scripts/monkey.sh --ci [seconds]           every seed of tests/monkey/seeds.txt,
#                                              one per core at a time, all within the seconds (300)
#                                              after the build
#
# A run that finds a fault prints the fault (or the sanitizer's report), the
# steps that led there and how to replay it, keeps its scratch folder, and
# exits non-zero. Seeds marked "open" in the seeds file stand for findings
# not fixed yet: their failure is reported, not counted.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$(date +%s)
scripts/sanitize-build.sh quillmere_monkey

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:detect_stack_use_after_return=0:halt_on_error=1:handle_abort=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
# The scratch folders go where writing is fast.
base=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; fi
monkey=build-sanitize/quillmere_monkey

if [ "${1:-}" != "--ci" ]; then
  if [ $# -lt 2 ]; then
    echo "usage: scripts/monkey.sh SEED STEPS [option...] | scripts/monkey.sh --ci [seconds]" >&2
    exit 2
  fi
  seed=$1 steps=$2
  shift 2
  exec "$monkey" --seed "$seed" --steps "$steps" --base "$base" "$@"
fi

budget=${2:-300}
mapfile -t runs < <(grep -vE '^\s*(#|$)' tests/monkey/seeds.txt)
# One seed per core at a time; each gets its share of the time, less a
# margin for its start (the world it makes before its clock runs), so a slow
# machine runs fewer steps instead of running over. A seed keeps part of its
# own time for its closing work and stops itself, with a report, when it
# passes its time anyway (a hang included).
jobs=$(nproc)
rounds=$(( (${#runs[@]} + jobs - 1) / jobs ))
per=$(( budget / rounds - 8 ))
[ "$per" -ge 10 ] || per=10
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
i=0
for run in "${runs[@]}"; do
  read -r seed steps _ <<<"$run"
  ( rc=0
    "$monkey" --seed "$seed" --steps "$steps" --seconds "$per" --base "$base" \
      >"$logs/$i.log" 2>&1 || rc=$?
    echo "$rc" >"$logs/$i.rc" ) &
  i=$(( i + 1 ))
  if (( i % jobs == 0 )); then wait; fi
done
wait

failed=()
open=()
fixed=()
total=0
i=0
for run in "${runs[@]}"; do
  read -r seed steps mark _ <<<"$run"
  log=$logs/$i.log
  rc=$(cat "$logs/$i.rc")
  i=$(( i + 1 ))
  done_steps=$(sed -n 's/^monkey: seed [0-9]*: \([0-9]*\) steps in.*/\1/p' "$log")
  total=$(( total + ${done_steps:-0} ))
  if [ "$rc" -eq 0 ]; then
    echo "monkey: seed $seed: $(tail -n 1 "$log" | sed 's/^monkey: seed [0-9]*: //')"
    [ "$mark" = open ] && fixed+=("$seed")
  elif [ "$mark" = open ]; then
    echo "monkey: seed $seed: still fails (a known open finding): $(grep -m1 -E 'FAULT|ERROR: (Address|UndefinedBehavior)|runtime error|signal' "$log" || true)"
    open+=("$seed")
  else
    echo "monkey: seed $seed FAILED (exit $rc); the end of its log:"
    tail -n 120 "$log"
    failed+=("$seed")
  fi
done
echo "monkey: $total steps over ${#runs[@]} seeds in $(( $(date +%s) - start )) s with the build"
[ ${#open[@]} -eq 0 ] || echo "monkey: known open findings still failing: ${open[*]}"
[ ${#fixed[@]} -eq 0 ] || echo "monkey: seeds marked open that pass now (drop the mark): ${fixed[*]}"
[ ${#failed[@]} -eq 0 ]
