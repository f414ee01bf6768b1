#!/usr/bin/env bash
# arj_decode.sh - our ARJ decoders side by side with 7-Zip (7zz t) and
# unar's lister (lsar -t), each testing the same archives: the small
# benchmark tree tarred into one member, packed by arj with method 1
# (Huffman) and method 4 (fast).  Nothing is written; every tool checks CRCs.
#
# usage: bench/arj_decode.sh [BUILD_DIR]   (built with -DQVO_BUILD_BENCH=ON)
#   CORPUS=DIR   tree to pack (default: made by make-corpus.sh ... small)
#   RUNS=N       hyperfine runs per command (default: 5)
# Prints MB/s of unpacked data per tool and method.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
work=${WORK:-/tmp/qvo-bench-arj}
corpus=${CORPUS:-$work/corpus}
runs=${RUNS:-5}

driver="$build/bench/arj_test_driver"
[ -x "$driver" ] || driver="$build/bin/arj_test_driver"
[ -x "$driver" ] || { echo "build the benchmarks first: cmake -DQVO_BUILD_BENCH=ON, target arj_test_driver" >&2; exit 2; }
for tool in hyperfine arj 7zz lsar python3; do
  command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

mkdir -p "$work"
if [ ! -d "$corpus" ]; then
  "$src/../shared/bench/make-corpus.sh" "$corpus" small >/dev/null
fi
if [ ! -f "$work/tree.tar" ]; then
  tar -C "$corpus" -cf "$work/tree.tar" .
fi
for m in 1 4; do
  [ -f "$work/m$m.arj" ] || (cd "$work" && arj a -m$m -y "m$m.arj" tree.tar >/dev/null)
done

args=()
for m in 1 4; do
  args+=(--command-name "ours-m$m" "$driver $work/m$m.arj")
  args+=(--command-name "7zz-m$m" "7zz t -bd $work/m$m.arj >/dev/null")
  # unar 1.10 fails near the end of large method 1 members ("Attempted to
  # read more data than was available"): its time still covers the work.
  args+=(--command-name "lsar-m$m" "lsar -t $work/m$m.arj >/dev/null || true")
done
hyperfine --warmup 1 --runs "$runs" --export-json "$work/result.json" "${args[@]}"

python3 - "$work/result.json" "$(stat -c %s "$work/tree.tar")" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
size = int(sys.argv[2]) / 1e6
print(f"\nunpacked {size:.1f} MB per run")
for r in results:
    print(f"{r['command']:>8}: {size / r['mean']:7.1f} MB/s  ({r['mean'] * 1000:.0f} ms)")
PY
