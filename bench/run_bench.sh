#!/usr/bin/env bash
# Runs the benchmark suite and writes its report: results.json (Google Benchmark's own
# output, medians of the repetitions), results.md (the table with the ratios, the cost per
# byte and the heap use, and the verdict on each target) and time_per_call.png (the plot).
#
# usage: bench/run_bench.sh [--wine] [--binary PATH] [--out DIR] [--repetitions N]
#                           [--min-time SECONDS] [--filter REGEX] [--check] [--baseline DLL]
#   Without --binary the bench preset is configured and built first (build/bench).
#   --out defaults to bench/results (bench/results/wine with --wine); --check makes a
#   missed target fail the run.
#   Repetitions run in random interleaved order, so that a busy moment on the machine is
#   spread over all benchmarks instead of spoiling one; the report uses their medians.
#   --wine measures the 64-bit DLL under Wine instead: the bench-win64 preset builds
#   pelzor.dll and the harness pelzor_rounds.exe, which runs the same jobs in interleaved
#   rounds (wall-clock time; no heap counting there). --baseline (with --wine) times another
#   build of the 64-bit DLL in the same rounds, for a comparison before and after a change.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

binary=
out=$root/bench/results
repetitions=9
min_time=0.1
filter=.
check=
wine=
baseline_dll=
baseline=()
while [ $# -gt 0 ]; do
  case "$1" in
    --binary) binary=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --repetitions) repetitions=$2; shift 2 ;;
    --min-time) min_time=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    --check) check=--check; shift ;;
    --wine) wine=1; shift ;;
    --baseline) baseline_dll=$2; shift 2 ;;
    *) echo "run_bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

preset=bench
title=
if [ -n "$wine" ]; then
  preset=bench-win64
  title="64-bit DLL under Wine: "
  [ "$out" = "$root/bench/results" ] && out=$root/bench/results/wine
fi
if [ -z "$binary" ]; then
  (cd "$root" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2)
  if [ -n "$wine" ]; then
    binary=$root/build/bench-win64/bin/pelzor_rounds.exe
  else
    binary=$root/build/bench/bench/pelzor_bench
  fi
fi

mkdir -p "$out"
if [ -n "$baseline_dll" ]; then
  # A name of its own, so that Windows does not take it for the pelzor.dll already loaded;
  # beside the harness, so that no DLL lands among the results.
  cp "$baseline_dll" "$(dirname "$binary")/pelzor_baseline.dll"
  baseline=(--baseline "$(dirname "$binary")/pelzor_baseline.dll")
fi
echo "run_bench: load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$wine" ]; then
  "$(dirname "$binary")/../wine-run.sh" "$binary" --rounds "$repetitions" \
    --min-time "$min_time" --filter "$filter" --out "$out/results.json" "${baseline[@]}" \
    2>"$out/console.txt"
else
  "$binary" \
    --benchmark_filter="$filter" \
    --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_min_time="$min_time" \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/results.json" \
    --benchmark_out_format=json \
    --benchmark_format=console >"$out/console.txt"
fi
echo "run_bench: load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"

# The plot needs matplotlib (Debian's python3-matplotlib); the first python3 that has it.
python=python3
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import matplotlib' 2>/dev/null; then python=$candidate; break; fi
done
"$python" "$root/bench/report.py" "$out/results.json" \
  --table "$out/results.md" --plot "$out/time_per_call.png" --title "$title" $check
