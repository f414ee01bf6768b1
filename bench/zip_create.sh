#!/usr/bin/env bash
# zip_create.sh - ZIP creation: Zip32J level 6 beside `zip -r -6`.
#
# usage: bench/zip_create.sh [BUILD_DIR] [small|large ...]
#
# For each corpus size: builds the tree with ../shared/bench/make-corpus.sh
# (kept in $BENCH_WORK between runs), times both programs in one hyperfine
# run, and prints the time ratio (wall and CPU) and the size ratio.  Then
# measures peak memory on one large file ($BIG_MB MiB, default 1024).
# Zip32J is called through a tiny dlopen driver, as the program calls it.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:-$HERE/../build}
shift || true
SIZES=${*:-small}
LIB=$(cd "$BUILD" && pwd)/lib/qvo/Zip32J.so
MAKE_CORPUS=${MAKE_CORPUS:-$HERE/../../shared/bench/make-corpus.sh}
WORK=${BENCH_WORK:-${TMPDIR:-/tmp}/qvo-bench-zip}
RUNS=${RUNS:-10}
BIG_MB=${BIG_MB:-1024}

for tool in hyperfine zip cc python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -f "$LIB" ] || { echo "build Zip32J first: $LIB" >&2; exit 1; }
mkdir -p "$WORK/out"

cat > "$WORK/zipcall.c" <<'CEOF'
#include "archivers/include/qvo_archiver.h"
#include <dlfcn.h>
#include <stdio.h>
#include <unistd.h>
int main(int argc, char **argv)
{
    if (argc != 4) { fprintf(stderr, "usage: zipcall LIB DIR COMMAND\n"); return 2; }
    void *h = dlopen(argv[1], RTLD_NOW);
    QvoCommandFunction *zip = h ? (QvoCommandFunction *)dlsym(h, qvo_zip32j.commandFunction) : NULL;
    if (!zip || chdir(argv[2]) != 0) { fprintf(stderr, "cannot load %s\n", argv[1]); return 2; }
    char out[256];
    int32_t rc = zip(NULL, argv[3], out, sizeof out);
    if (rc) fprintf(stderr, "Zip returned 0x%x\n", (unsigned)rc);
    return rc ? 1 : 0;
}
CEOF
cc -O2 -I "$HERE/../src" -o "$WORK/zipcall" "$WORK/zipcall.c" -ldl

report() { # json ours-size zip-size
  python3 - "$1" "$2" "$3" <<'PYEOF'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
q, z = r["Zip32J -6"], r["zip -r -6"]
qs, zs = int(sys.argv[2]), int(sys.argv[3])
qc, zc = q["user"] + q["system"], z["user"] + z["system"]
print(f"  Zip32J -6 : {q['mean']:.3f} s wall, {qc:.3f} s CPU, {qs:,} bytes")
print(f"  zip -r -6 : {z['mean']:.3f} s wall, {zc:.3f} s CPU, {zs:,} bytes")
print(f"  speed-up  : {z['mean'] / q['mean']:.2f}x wall, {zc / qc:.2f}x CPU (target >= 3x)")
print(f"  size ratio: {qs / zs:.4f} (target <= 1.01)")
PYEOF
}

for size in $SIZES; do
  corpus="$WORK/corpus-$size"
  [ -d "$corpus" ] || "$MAKE_CORPUS" "$corpus" "$size" >/dev/null
  ours="$WORK/out/ours-$size.zip"
  theirs="$WORK/out/zip-$size.zip"
  echo "== $size corpus: $(grep -E '^(files|bytes)=' "$corpus.info" | tr '\n' ' ')"
  hyperfine -N --warmup 1 --runs "$RUNS" --style basic \
    --prepare "rm -f $ours $theirs" \
    --export-json "$WORK/$size.json" \
    -n "Zip32J -6" "$WORK/zipcall $LIB $corpus '-r -q -6 \"$ours\" *.*'" \
    -n "zip -r -6" "bash -c 'cd $corpus && exec zip -qr -6 $theirs .'"
  "$WORK/zipcall" "$LIB" "$corpus" "-r -q -6 \"$ours\" *.*"
  (cd "$corpus" && rm -f "$theirs" && zip -qr -6 "$theirs" .)
  report "$WORK/$size.json" "$(stat -c %s "$ours")" "$(stat -c %s "$theirs")"
done

# Peak memory on one large file: the chunked path must stay bounded.
big="$WORK/big"
if [ ! -f "$big/large.bin" ] || [ "$(stat -c %s "$big/large.bin")" -lt $((BIG_MB << 20)) ]; then
  mkdir -p "$big"
  corpus="$WORK/corpus-small"
  [ -d "$corpus" ] || "$MAKE_CORPUS" "$corpus" small >/dev/null
  # Real-world mix, repeated: text, code, binaries and compressed data.
  python3 - "$corpus" "$big/large.bin" $((BIG_MB << 20)) <<'PYEOF'
import os, sys
root, dest, want = sys.argv[1], sys.argv[2], int(sys.argv[3])
files = sorted(os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs)
with open(dest, "wb") as out:
    while want > 0:
        for p in files:
            data = open(p, "rb").read()[:want]
            out.write(data)
            want -= len(data)
            if want == 0:
                break
PYEOF
fi
echo "== peak memory, one ${BIG_MB} MiB file"
for level in 0 6 9; do
  rm -f "$WORK/out/big.zip"
  /usr/bin/time -f "  Zip32J -$level: %e s, max RSS %M KB" \
    "$WORK/zipcall" "$LIB" "$big" "-r -q -$level \"$WORK/out/big.zip\" *.*"
done
rm -f "$WORK/out/big-zip.zip"
(cd "$big" && /usr/bin/time -f "  zip -r -6  : %e s, max RSS %M KB" zip -qr -6 "$WORK/out/big-zip.zip" .)
ls -l "$WORK/out/big.zip" "$WORK/out/big-zip.zip" | awk '{print "  " $5 " " $9}'
