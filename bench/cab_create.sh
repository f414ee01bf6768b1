#!/usr/bin/env bash
# cab_create.sh - our MSZIP cabinet creation side by side with `gcab -c -z`,
# or, given -ml:N, our LZX cabinet creation side by side with our MSZIP.
#
# usage: bench/cab_create.sh [small|large] [BUILD_DIR] [-mz|-ml:N]
#
# Builds the benchmark tree with ../shared/bench/make-corpus.sh (kept in
# $QVO_BENCH_CACHE, default /tmp/qvo-bench, and reused while it exists), then
# times both tools with hyperfine in one run and reports time, size and peak
# memory ratios.  Needs the benchmark driver: configure the build with
# -DQVO_BUILD_BENCH=ON and build the target cab_create_call.
set -euo pipefail

SIZE=${1:-small}
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${2:-$HERE/../build}
METHOD=${3:--mz}
DRIVER=$BUILD/bin/cab_create_call
CORPUS_SCRIPT=${QVO_CORPUS_SCRIPT:-$HERE/../../shared/bench/make-corpus.sh}
CACHE=${QVO_BENCH_CACHE:-/tmp/qvo-bench}
TREE=$CACHE/$SIZE
OUT=$(mktemp -d "${TMPDIR:-/tmp}/cab-bench-XXXXXX")
trap 'rm -rf "$OUT"' EXIT

for tool in hyperfine gcab cabextract python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
[ -x "$DRIVER" ] || { echo "missing $DRIVER (build with -DQVO_BUILD_BENCH=ON, target cab_create_call)" >&2; exit 1; }
if [ ! -d "$TREE" ]; then
  mkdir -p "$CACHE"
  "$CORPUS_SCRIPT" "$TREE" "$SIZE" >/dev/null
fi

# gcab takes its files as arguments: give it the same files, read from a list
# made once, so both tools start from the same folder with the same input.
(cd "$TREE" && find . \( -type f -o -type l \) -printf '%P\0' | sort -z) > "$OUT/list"
cat > "$OUT/gcab.sh" <<'SH'
#!/usr/bin/env bash
cd "$1" && mapfile -d '' files < "$2" && exec gcab -c -z "$3" "${files[@]}"
SH
chmod +x "$OUT/gcab.sh"

OURS="$DRIVER '$TREE' '-a -r -i -mz \"$OUT/ours.cab\" *.*'"
GCAB="'$OUT/gcab.sh' '$TREE' '$OUT/list' '$OUT/gcab.cab'"

if [ "$METHOD" != -mz ]; then
  LZX="$DRIVER '$TREE' '-a -r -i $METHOD \"$OUT/lzx.cab\" *.*'"
  hyperfine --warmup 1 --min-runs 5 \
    --prepare "rm -f '$OUT/ours.cab' '$OUT/lzx.cab'" \
    --export-json "$OUT/times.json" \
    -n "qvo cab32 $METHOD" "$LZX" -n "qvo cab32 -mz" "$OURS"
  bash -c "$LZX" >/dev/null # the last runs' --prepare removed it
  cabextract -t "$OUT/lzx.cab" >/dev/null || { echo "our LZX cabinet does not test clean" >&2; exit 1; }
  TREE=$TREE python3 - "$OUT/times.json" "$OUT/lzx.cab" "$OUT/ours.cab" "$METHOD" "$SIZE" <<'PY'
import json, os, sys
times, lzx, mszip, method, size = sys.argv[1:]
r = {x["command"]: x for x in json.load(open(times))["results"]}
l, m = r["qvo cab32 " + method], r["qvo cab32 -mz"]
cpu = lambda x: x["user"] + x["system"]
s_l, s_m = os.path.getsize(lzx), os.path.getsize(mszip)
tree = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(os.environ["TREE"]) for f in fs
           if not os.path.islink(os.path.join(d, f)))
print(f"\ntree: {size}, {tree} bytes")
print(f"cpu   {method} {cpu(l):.3f} s ({tree / cpu(l) / 1e6:.2f} MB/s)   -mz {cpu(m):.3f} s   speed ratio {cpu(m) / cpu(l):.3f}")
print(f"size  {method} {s_l} B   -mz {s_m} B   ratio {s_l / s_m:.4f}")
PY
  exit 0
fi

hyperfine --warmup 1 --min-runs 5 \
  --prepare "rm -f '$OUT/ours.cab' '$OUT/gcab.cab'" \
  --export-json "$OUT/times.json" \
  -n "qvo cab32 -mz" "$OURS" -n "gcab -c -z" "$GCAB"

peak() { /usr/bin/time -f %M bash -c "$1" 2>&1 >/dev/null | tail -1; }
OURS_KB=$(peak "$OURS")
GCAB_KB=$(peak "$GCAB")
cabextract -t "$OUT/ours.cab" >/dev/null || { echo "our cabinet does not test clean" >&2; exit 1; }

python3 - "$OUT/times.json" "$OUT/ours.cab" "$OUT/gcab.cab" "$OURS_KB" "$GCAB_KB" "$SIZE" <<'PY'
import json, os, sys
times, ours, gcab, ours_kb, gcab_kb, size = sys.argv[1:]
r = {x["command"]: x["mean"] for x in json.load(open(times))["results"]}
t_ours, t_gcab = r["qvo cab32 -mz"], r["gcab -c -z"]
s_ours, s_gcab = os.path.getsize(ours), os.path.getsize(gcab)
print(f"\ntree: {size}")
print(f"time  qvo {t_ours:.3f} s   gcab {t_gcab:.3f} s   speed-up {t_gcab / t_ours:.2f}x (target >= 1.5x)")
print(f"size  qvo {s_ours} B   gcab {s_gcab} B   ratio {s_ours / s_gcab:.4f} (target <= 1)")
print(f"peak  qvo {int(ours_kb) / 1024:.1f} MiB   gcab {int(gcab_kb) / 1024:.1f} MiB (target < 256 MiB)")
PY
