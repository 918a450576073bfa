#!/usr/bin/env bash
# Compares release flag sets of the parser and the library: the size of pelzor.dll in both
# Windows builds and the native call time of a few representative jobs, for each set.
# Build trees go to build/flags-<arch>-<set>; the table goes to standard output and to
# OUT (default bench/results/flags.md).
#
# usage: bench/compare_flags.sh [--rounds N] [--out OUT]
# Each set is: name, optimisation flag (default: CMake's -O3), link-time optimisation,
# section garbage collection.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds=3
out=$root/bench/results/flags.md
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "compare_flags.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

sets="O3:default:OFF:OFF O2:-O2:OFF:OFF O2-gc:-O2:OFF:ON O2-lto-gc:-O2:ON:ON O3-lto-gc:-O3:ON:ON Os-lto-gc:-Os:ON:ON"
jobs='^(readers/getDoubleValue/settings|readers/getStringValue/tree|arrays/getDouble2DArray/matrix|builder/appendXMLChild/settings)/(6[0-9]{4}|70[0-9]{3}|10[0-9]{5}|17[0-9]{5})/library'
results=$(mktemp -d)

configure() {  # preset dir opt lto gc
  local opt=$3; [ "$opt" = default ] && opt=""
  cmake --preset "$1" -B "$2" -DPELZOR_RELEASE_OPTIMIZATION="$opt" \
    -DPELZOR_RELEASE_LTO="$4" -DPELZOR_RELEASE_GC_SECTIONS="$5" >/dev/null
}

for set in $sets; do
  IFS=: read -r name opt lto gc <<<"$set"
  for arch in win32 win64; do
    dir=build/flags-$arch-$name
    configure "$arch" "$dir" "$opt" "$lto" "$gc"
    cmake --build "$dir" -j2 --target pelzor >/dev/null
    stat -c %s "$dir/bin/pelzor.dll" >"$results/size-$arch-$name"
  done
  dir=build/flags-bench-$name
  configure bench "$dir" "$opt" "$lto" "$gc"
  cmake --build "$dir" -j2 --target pelzor_bench >/dev/null
done

# Rounds alternate between the sets, so that a busy spell on the machine hits them alike.
for round in $(seq "$rounds"); do
  for set in $sets; do
    name=${set%%:*}
    "build/flags-bench-$name/bench/pelzor_bench" --benchmark_filter="$jobs" \
      --benchmark_min_time=0.2 --benchmark_format=json >"$results/time-$name-$round.json"
  done
done

mkdir -p "$(dirname "$out")"
python3 - "$results" "$sets" >"$out" <<'PY'
import glob, json, statistics, sys
results, sets = sys.argv[1], [s.split(":") for s in sys.argv[2].split()]
times = {}
for name, *_ in sets:
    for path in glob.glob("%s/time-%s-*.json" % (results, name)):
        for b in json.load(open(path))["benchmarks"]:
            times.setdefault((b["name"], name), []).append(b["cpu_time"])
jobs = sorted({job for job, _ in times})
print("| flags | LTO | gc-sections | win32 DLL bytes | win64 DLL bytes | "
      + " | ".join("%s µs" % "/".join(j.split("/")[1:4]) for j in jobs) + " |")
print("|---" * (5 + len(jobs)) + "|")
for name, opt, lto, gc in sets:
    size = lambda arch: open("%s/size-%s-%s" % (results, arch, name)).read().strip()
    cells = ["%.0f" % statistics.median(times[(j, name)]) for j in jobs]
    print("| %s | %s | %s | %s | %s | %s |" % (
        "-O3 (CMake default)" if opt == "default" else opt, lto, gc, size("win32"),
        size("win64"), " | ".join(cells)))
PY
cat "$out"
