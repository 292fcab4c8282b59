#!/usr/bin/env bash
# One run of the benchmarks for each catalogue size, side by side: load,
# listing and sorting the largest category (a tenth of the entries), find,
# filter, autosave and save, each against its floor where the benchmark has
# one. Prints the machine's load first: compare ratios within one run.
#
#   bench/table.sh [sizes, default "100000 200000 500000 1000000"] [build dir, default build]
set -uo pipefail
sizes=${1:-"100000 200000 500000 1000000"}
build=${2:-build}
bench=$build/bench
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
echo "# $(date -u '+%F %T UTC'), $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
for n in $sizes; do
  echo "## $n entries"
  echo "### load, save and memory (bench_catalogue)"
  "$bench/bench_catalogue" --sizes "$n" --reps 1 2>/dev/null |
    grep -E "LoadData|startLoad|floor|SaveData|write|entries: load|CPU" | sed 's/^/    /'
  echo "### list and sort the largest category, $((n / 10)) documents (bench_categoryview)"
  "$bench/bench_categoryview" --count $((n / 10)) --reps 1 2>/dev/null |
    grep -E "^fill|^sort" | sed 's/^/    /'
  echo "### find (bench_search)"
  "$bench/bench_search" --nodes "$n" --runs 1 2>/dev/null | grep -vE "^\s*$" | sed 's/^/    /'
  echo "### filter (bench_filter)"
  "$bench/bench_filter" --entries "$n" --runs 1 2>/dev/null | grep -vE "^\s*$" | tail -n 12 |
    sed 's/^/    /'
  echo "### autosave and save (bench_autosave)"
  "$bench/bench_autosave" --sizes "$n" --reps 1 2>/dev/null | tail -n 2 | sed 's/^/    /'
  echo "# load now: $(cut -d' ' -f1-3 /proc/loadavg)"
done
