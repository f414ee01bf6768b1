#!/usr/bin/env bash
# lha_create.sh - our -lh5-, -lh6- and -lh7- archive creation side by side
# with jlha (jlha-utils) on the benchmark tree, in one hyperfine run.
#
# usage: bench/lha_create.sh [BUILD_DIR]     (default: build)
#   CORPUS=DIR   tree to pack (default: made by make-corpus.sh ... small)
#   RUNS=N       hyperfine runs per command (default: 5)
# Prints each method's time and size next to jlha's and whether the
# targets hold: output no larger than jlha's, at least 3x its speed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
work=${WORK:-/tmp/qvo-bench-lha}
corpus=${CORPUS:-$work/corpus}
runs=${RUNS:-5}

lib="$build/lib/qvo"
[ -f "$lib/unlha32.so" ] || { echo "build unlha32 first: cmake --build $build --target archiver_unlha32" >&2; exit 2; }
for tool in hyperfine jlha python3; do
  command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

mkdir -p "$work/out"
if [ ! -d "$corpus" ]; then
  "$src/../shared/bench/make-corpus.sh" "$corpus" small >/dev/null
fi

driver="$work/lha_create_driver"
if [ ! -x "$driver" ] || [ "$here/lha_create_driver.cpp" -nt "$driver" ]; then
  c++ -O2 -std=c++20 -o "$driver" "$here/lha_create_driver.cpp" -ldl
fi

out="$work/out"
cmds=()
names=()
for m in 5 6 7; do
  level=$((m - 3)) # -jm2..4 = lh5..lh7
  names+=("ours-lh$m")
  cmds+=("$driver -L $lib a -x1 -n -r2 -jm$level $out/ours$m.lzh $corpus/")
  names+=("jlha-lh$m")
  cmds+=("cd $corpus && jlha ao$m $out/jlha$m.lzh . >/dev/null")
done

args=()
for i in "${!cmds[@]}"; do
  args+=(--command-name "${names[$i]}" "${cmds[$i]}")
done
hyperfine --warmup 1 --runs "$runs" --prepare "rm -f $out/*.lzh" \
  --export-json "$work/result.json" "${args[@]}"

# The prepare step removed the archives; make them once more for sizes.
for i in "${!cmds[@]}"; do
  bash -c "${cmds[$i]}"
done

python3 - "$work/result.json" "$out" <<'PY'
import json, os, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
out = sys.argv[2]
ok = True
print(f"\n{'method':6} {'ours s':>8} {'jlha s':>8} {'speedup':>8} {'ours bytes':>11} {'jlha bytes':>11} {'size':>7}")
for m in (5, 6, 7):
    o, j = res[f"ours-lh{m}"], res[f"jlha-lh{m}"]
    so, sj = os.path.getsize(f"{out}/ours{m}.lzh"), os.path.getsize(f"{out}/jlha{m}.lzh")
    speed = j["mean"] / o["mean"]
    ratio = so / sj
    good = speed >= 3 and so <= sj
    ok &= good
    print(f"lh{m:<4} {o['mean']:8.3f} {j['mean']:8.3f} {speed:7.2f}x {so:11d} {sj:11d} {ratio:7.4f}  {'ok' if good else 'MISSED'}")
sys.exit(0 if ok else 1)
PY
