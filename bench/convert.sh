#!/usr/bin/env bash
# convert.sh - qvo-convert against general archivers on whole conversions.
#
# usage: bench/convert.sh [BUILD_DIR] [WORK_DIR]
#        QVO_BENCH_EXT4=1 bench/convert.sh [BUILD_DIR]   (as root)
#
# 1. The small benchmark tree as an LZH and as a ZIP, each converted to a
#    ZIP at level 6, side by side with bsdtar's streaming conversion
#    (bsdtar -cf out.zip --format zip @in.zip) and with the pipeline
#    lhasa x + zip -r -6.
# 2. 500 tiny LZH archives (three small files each) converted to ZIP in one
#    run, side by side with a bash loop running bsdtar once per archive.
# Then the CPU time (user + system) of each command next to its wall time,
# and the peak resident memory of each qvo-convert run (GNU time).
#
# Creating files costs far more right after many were deleted on some file
# systems (ext4 without a journal skips inodes freed in the last minutes, one
# by one), and every run here deletes its working tree.  qvo-convert keeps
# its working trees apart (see platform::spreadSubfolders); the pipeline
# lhasa x + zip meets the full cost, and the CPU times show where it went.
# QVO_BENCH_EXT4=1 (root only) runs everything on a fresh ext4 volume with
# a journal, as a desktop disk is formatted by default, loop-mounted from an
# image file in the folder given as the second argument (default /var/tmp).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../build}" && pwd)
if [ "${QVO_BENCH_EXT4:-0}" = 1 ]; then
  IMAGE_DIR=${2:-/var/tmp}
  IMAGE=$IMAGE_DIR/qvo-bench-ext4.img
  MOUNT=$(mktemp -d /tmp/qvo-bench-ext4.XXXXXX)
  truncate -s 2G "$IMAGE"
  mkfs.ext4 -q -F "$IMAGE"
  mount -o loop "$IMAGE" "$MOUNT"
  trap 'cd /; umount "$MOUNT"; rmdir "$MOUNT"; rm -f "$IMAGE"' EXIT
  WORK=$MOUNT/work
  mkdir -p "$WORK"
else
  WORK=${2:-$(mktemp -d /tmp/qvo-bench-convert.XXXXXX)}
fi
QVO="$BUILD/bin/qvo-convert"
export QVO_LIBRARY_DIR="$BUILD/lib/qvo"
# A working root of its own, so that no other conversion is disturbed;
# QVO_BENCH_TMPDIR puts it elsewhere (a tmpfs such as /dev/shm, as /tmp is
# on many systems).
export TMPDIR="${QVO_BENCH_TMPDIR:-$WORK/tmp}"
mkdir -p "$TMPDIR"

for tool in hyperfine bsdtar lhasa zip lha /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$QVO" ] || { echo "build qvo-convert first: $QVO" >&2; exit 1; }

cd "$WORK"
if [ ! -d tree ]; then
  "$HERE/../../shared/bench/make-corpus.sh" tree small >/dev/null 2>&1 ||
    /work/shared/bench/make-corpus.sh tree small >/dev/null
fi
# Python's zipfile marks UTF-8 names as such (Info-ZIP on Linux does not, and
# an unmarked name is read as CP932, the names of Japanese Windows).
[ -f in.zip ] || python3 - <<'PY'
import os, zipfile
with zipfile.ZipFile("in.zip", "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for root, dirs, files in os.walk("tree"):
        dirs.sort()
        for name in sorted(dirs) + sorted(files):
            path = os.path.join(root, name)
            z.write(path, os.path.relpath(path, "tree"))
PY
# jlha (installed as lha) creates the LZH; lhasa only reads.
[ -f in.lzh ] || (cd tree && shopt -s dotglob && lha aq ../in.lzh * >/dev/null)

. "$HERE/tiny_set.sh"

echo "volume: $(findmnt -no FSTYPE,OPTIONS -T "$WORK" 2>/dev/null)$(dumpe2fs -h "$(findmnt -no SOURCE -T "$WORK")" 2>/dev/null | grep -q has_journal && echo ' (journal)')"
echo "tree: $(cat tree.info 2>/dev/null | tr '\n' ' ')"
echo "in.lzh $(stat -c %s in.lzh) bytes, in.zip $(stat -c %s in.zip) bytes"

hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown tree.md --export-json tree.json \
  --prepare 'rm -rf out && mkdir out' \
  -n 'qvo-convert lzh->zip' "$QVO --to zip --level 6 --quiet --out out in.lzh" \
  -n 'qvo-convert zip->zip' "$QVO --to zip --level 6 --same-type --quiet --out out in.zip" \
  -n 'bsdtar @in.zip' 'bsdtar -cf out/out.zip --format zip @in.zip' \
  -n 'lhasa x + zip -r -6' 'mkdir out/x && cd out/x && lhasa xq ../../in.lzh && zip -qr -6 ../out.zip .'

hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown tiny.md --export-json tiny.json \
  --prepare 'rm -rf tiny-out && mkdir tiny-out' \
  -n 'qvo-convert 500 tiny lzh->zip' "$QVO --to zip --quiet --out tiny-out tiny" \
  -n 'bash loop of bsdtar' 'for f in tiny/*.lzh; do b=${f##*/}; bsdtar -cf "tiny-out/${b%.lzh}.zip" --format zip "@$f"; done'

cpu_table() { # hyperfine JSON -> wall and CPU seconds per command
  python3 - "$1" <<'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(f"  {r['command']:<32} wall {r['mean']:7.3f} s   cpu {r['user'] + r['system']:7.3f} s"
          f"  (user {r['user']:.3f}, system {r['system']:.3f})")
PY
}
echo "means:"
cpu_table tree.json
cpu_table tiny.json

peak() { # command... -> peak RSS in KiB
  rm -rf out tiny-out && mkdir out tiny-out
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}
echo "peak memory (KiB):"
echo "  lzh->zip  $(peak "$QVO" --to zip --level 6 --quiet --out out in.lzh)"
echo "  zip->zip  $(peak "$QVO" --to zip --level 6 --same-type --quiet --out out in.zip)"
echo "  500 tiny  $(peak "$QVO" --to zip --quiet --out tiny-out tiny)"
echo "work folder: $WORK"
