#!/usr/bin/env bash
# jobs.sh - qvo-convert --jobs 2 against --jobs 1, and against two
# qvo-convert processes each given half of the set, side by side.
#
# usage: bench/jobs.sh [BUILD_DIR] [WORK_DIR]
#
# Two sets of LZH archives converted to ZIP at level 6:
#   tiny    500 archives of three small files each
#   medium  40 archives of 1 to 3 MB each: text that compresses well and
#           random bytes that do not, in changing shares
# Then the speed-up of each command over --jobs 1, its CPU time (user +
# system) over its wall time, and the peak memory of the whole process tree
# (RSS and PSS summed over the parent and its workers, sampled every 20 ms:
# GNU time reports the largest single process only).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../build}" && pwd)
WORK=${2:-$(mktemp -d /tmp/qvo-bench-jobs.XXXXXX)}
QVO="$BUILD/bin/qvo-convert"
export QVO_LIBRARY_DIR="$BUILD/lib/qvo"
export TMPDIR="${QVO_BENCH_TMPDIR:-$WORK/tmp}"
mkdir -p "$TMPDIR"
for tool in hyperfine lha python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$QVO" ] || { echo "build qvo-convert first: $QVO" >&2; exit 1; }
cd "$WORK"

. "$HERE/tiny_set.sh"
# jlha (installed as lha) creates the LZH archives; lhasa only reads.
if [ ! -d medium ]; then
  mkdir -p medium
  python3 - <<'PY'
import os, random
rng = random.Random(19)
words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))))
         for _ in range(3000)]
for k in range(40):
    folder = f"medium-src/m{k:02d}"
    os.makedirs(f"{folder}/docs", exist_ok=True)
    size = rng.randint(1 << 20, 3 << 20)   # about the size of the archive
    random_share = rng.choice([0.2, 0.5, 0.8])
    with open(f"{folder}/data.bin", "wb") as f:
        f.write(rng.randbytes(int(size * random_share)))
    text_bytes = int(size * (1 - random_share) * 1.8)  # such text packs to about 55%
    for part in range(4):
        with open(f"{folder}/docs/part{part}.txt", "w") as f:
            written = 0
            while written < text_bytes // 4:
                line = " ".join(rng.choice(words) for _ in range(12)) + "\n"
                f.write(line)
                written += len(line)
PY
  for d in medium-src/m*; do (cd "$d" && lha aq "../../medium/${d##*/}.lzh" data.bin docs >/dev/null); done
  rm -rf medium-src
fi
# The halves for the two-process command.
for set in tiny medium; do
  if [ ! -d "$set-a" ]; then
    mkdir -p "$set-a" "$set-b"
    n=0
    for f in "$set"/*.lzh; do
      if [ $((n % 2)) = 0 ]; then ln "$f" "$set-a/"; else ln "$f" "$set-b/"; fi
      n=$((n + 1))
    done
  fi
done

echo "machine: $(nproc) processors; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "medium: $(ls medium | wc -l) archives, $(du -sh medium | cut -f1); tiny: $(ls tiny | wc -l) archives"

for set in tiny medium; do
  hyperfine --warmup 1 --runs "${RUNS:-5}" --export-json "$set.json" \
    --prepare "rm -rf out && mkdir out" \
    -n "$set --jobs 1" "$QVO --jobs 1 --to zip --level 6 --quiet --out out $set" \
    -n "$set --jobs 2" "$QVO --jobs 2 --to zip --level 6 --quiet --out out $set" \
    -n "$set two processes" \
    "$QVO --jobs 1 --to zip --level 6 --quiet --out out $set-a & $QVO --jobs 1 --to zip --level 6 --quiet --out out $set-b; wait"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "means (speed-up over --jobs 1 of the same set):"
python3 - tiny.json medium.json <<'PY'
import json, sys
for path in sys.argv[1:]:
    results = json.load(open(path))["results"]
    base = results[0]["mean"]
    for r in results:
        cpu = r["user"] + r["system"]
        print(f"  {r['command']:<24} wall {r['mean']:7.3f} s ± {r['stddev']:.3f}   x{base / r['mean']:.2f}"
              f"   cpu {cpu:7.3f} s = {cpu / r['mean']:.2f} x wall")
PY

# Peak memory of the whole tree: the parent and every worker it forked.
peak() { # command... -> "rss KiB, pss KiB"
  rm -rf out && mkdir out
  "$@" & local pid=$!
  local rss=0 pss=0
  while kill -0 "$pid" 2>/dev/null; do
    local pids="$pid $(pgrep -P "$pid" | tr '\n' ' ')"
    local r=0 p=0
    for q in $pids; do
      # A process may end between the listing and the reading.
      local v w
      v=$(awk '/^VmRSS/ {print $2}' "/proc/$q/status" 2>/dev/null) || true
      w=$(awk '/^Pss:/ {print $2}' "/proc/$q/smaps_rollup" 2>/dev/null) || true
      r=$((r + ${v:-0}))
      p=$((p + ${w:-0}))
    done
    [ "$r" -gt "$rss" ] && rss=$r
    [ "$p" -gt "$pss" ] && pss=$p
    sleep 0.02
  done
  wait "$pid" || true
  echo "rss $rss KiB, pss $pss KiB"
}
echo "peak memory of the process tree:"
echo "  medium --jobs 1  $(peak "$QVO" --jobs 1 --to zip --level 6 --quiet --out out medium)"
echo "  medium --jobs 2  $(peak "$QVO" --jobs 2 --to zip --level 6 --quiet --out out medium)"
echo "  tiny   --jobs 2  $(peak "$QVO" --jobs 2 --to zip --level 6 --quiet --out out tiny)"
echo "work folder: $WORK"
