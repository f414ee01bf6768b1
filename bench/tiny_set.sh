# tiny_set.sh - sourced by the benchmarks: makes ./tiny, 500 copies of one
# LZH archive of three small files, unless it is there.  jlha (installed as
# lha) creates the archive; lhasa only reads.
if [ ! -d tiny ]; then
  mkdir -p tiny-src tiny
  printf 'first small file\n' >tiny-src/a.txt
  printf 'second, a little longer: %s\n' "$(seq 1 40 | tr '\n' ' ')" >tiny-src/b.txt
  printf '#!/bin/sh\necho third\n' >tiny-src/c.sh
  (cd tiny-src && lha aq ../tiny.lzh a.txt b.txt c.sh >/dev/null)
  for i in $(seq -w 1 500); do cp tiny.lzh "tiny/t$i.lzh"; done
fi
