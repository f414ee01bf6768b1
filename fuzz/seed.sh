#!/usr/bin/env bash
# Seeds the fuzz corpora: third-party archives from the shared corpus
# (broken ones included), archives our own writers make, and small
# hand-made inputs for the command-line, INI, round-trip and header targets.
#   fuzz/seed.sh [BUILD_DIR]      (default build-fuzz; corpora go to fuzz-out/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-fuzz}
OUT=${FUZZ_OUT:-fuzz-out}
CORPUS_SRC=${QVO_CORPUS_DIR:-../shared/corpus}
MAX_SEED=${FUZZ_MAX_SEED_BYTES:-262144}

C=$OUT/corpus
mkdir -p "$C" "$OUT/archives"
for t in fuzz_extract_lha fuzz_extract_cab fuzz_extract_zip fuzz_extract_rar fuzz_cmdline \
         fuzz_ini fuzz_lha_roundtrip fuzz_lzx_roundtrip fuzz_lha_header fuzz_cab_writer fuzz_rar_unpack \
         fuzz_extract_arj fuzz_arj_decode; do
    mkdir -p "$C/$t"
done

# Copies files of the given extensions (any case) below the corpus into one
# target's folder, named by content so reruns add nothing twice.
copy_ext() {
    local target=$1; shift
    local args=() first=1
    for e in "$@"; do
        [[ $first == 1 ]] || args+=(-o)
        args+=(-iname "*.$e")
        first=0
    done
    [[ -d $CORPUS_SRC ]] || return 0
    find "$CORPUS_SRC" -type f \( "${args[@]}" \) -size -"$MAX_SEED"c -print0 |
        while IFS= read -r -d '' f; do
            cp "$f" "$C/$target/$(sha1sum < "$f" | cut -c1-16)"
        done
}
copy_ext fuzz_extract_lha lzh lha lzs pma
copy_ext fuzz_extract_cab cab
copy_ext fuzz_extract_zip zip zipx
copy_ext fuzz_extract_rar rar

# Packed data of the corpus's RAR 1.5-4 members (not split, not
# encrypted), behind the byte that names their unpacker version.
if [[ -d $CORPUS_SRC/rar ]]; then
    find "$CORPUS_SRC/rar" -type f -iname '*.rar' -size -"$MAX_SEED"c -print0 |
        python3 -c '
import os, struct, sys, hashlib
versions = {15: 0, 20: 1, 26: 2, 29: 3, 36: 4}
out = sys.argv[1]
for path in sys.stdin.buffer.read().split(b"\0"):
    if not path:
        continue
    data = open(path, "rb").read()
    at = data.find(b"Rar!\x1a\x07\x00")
    if at < 0:
        continue
    at += 7
    while at + 7 <= len(data):
        crc, kind, flags, hsize = struct.unpack_from("<HBHH", data, at)
        if hsize < 7:
            break
        add = struct.unpack_from("<I", data, at + 7)[0] if flags & 0x8000 and at + 11 <= len(data) else 0
        if kind == 0x74 and at + 32 <= len(data):
            ver, method = data[at + 24], data[at + 25]
            body = data[at + hsize:at + hsize + add]
            if ver in versions and method != 0x30 and not flags & 0x07 and body:
                seed = bytes([versions[ver]]) + body
                name = hashlib.sha1(seed).hexdigest()[:16]
                open(os.path.join(out, name), "wb").write(seed)
        at += hsize + add
' "$C/fuzz_rar_unpack"
fi

# ARJ archives as arj makes them (every method, folders, a Unix link, a
# volume of a set, a garbled member), and their members' packed data behind
# the method byte and declared size that fuzz_arj_decode takes.
if command -v arj >/dev/null; then
    arjsrc=$(mktemp -d)
    mkdir -p "$arjsrc/tree/sub" "$arjsrc/out"
    seq 1 3000 > "$arjsrc/tree/numbers.txt"
    head -c 3000 /dev/urandom > "$arjsrc/tree/sub/random.bin"
    printf 'small\n' > "$arjsrc/tree/sub/small.txt"
    ln -s numbers.txt "$arjsrc/tree/link"
    for m in 0 1 2 3 4; do
        (cd "$arjsrc/tree" && arj a -m$m -r -a1 -y "$arjsrc/out/m$m.arj" '*' >/dev/null)
    done
    head -c 25000 /dev/urandom > "$arjsrc/big.bin"
    (cd "$arjsrc" && arj a -m1 -v10k -y "$arjsrc/out/vol.arj" big.bin >/dev/null)
    (cd "$arjsrc/tree" && arj a -gsecret -y "$arjsrc/out/garbled.arj" sub/small.txt >/dev/null)
    for f in "$arjsrc"/out/*.arj "$arjsrc"/out/*.a0?; do
        if [[ -f $f ]]; then cp "$f" "$C/fuzz_extract_arj/arj_$(basename "$f")"; fi
    done
    python3 - "$arjsrc/out" "$C/fuzz_arj_decode" <<'PY'
import os, struct, sys, zlib
src, out = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(src)):
    data = open(os.path.join(src, name), "rb").read()
    at, first = 0, True
    while at + 4 <= len(data) and data[at:at + 2] == b"\x60\xea":
        size = struct.unpack_from("<H", data, at + 2)[0]
        if size == 0:
            break
        basic = data[at + 4:at + 4 + size]
        at += 4 + size + 4
        while at + 2 <= len(data):
            ext = struct.unpack_from("<H", data, at)[0]
            at += 2
            if ext == 0:
                break
            at += ext + 4
        if first:
            first = False
            continue
        method, packed, original = basic[5], *struct.unpack_from("<II", basic, 12)
        if packed and not basic[4] & 1:
            seed = bytes([method]) + struct.pack("<I", original) + data[at:at + packed]
            open(os.path.join(out, "%s_%08x" % (name, zlib.crc32(seed))), "wb").write(seed)
        at += packed
PY
    rm -rf "$arjsrc"
fi

# Archives of our writers.
ours=$(mktemp -d)
trap 'rm -rf "$ours"' EXIT
"$BUILD/fuzz/make_seed_archives" "$ours" >/dev/null
for f in "$ours"/*; do
    case $f in
    *.lzh) cp "$f" "$C/fuzz_extract_lha/ours_$(basename "$f")" ;;
    *.cab) cp "$f" "$C/fuzz_extract_cab/ours_$(basename "$f")" ;;
    *.zip) cp "$f" "$C/fuzz_extract_zip/ours_$(basename "$f")" ;;
    esac
done

# Sample archives the command-line target's commands read.
cp "$ours/ours_lh2.lzh" "$OUT/archives/s.lzh"
cp "$ours/ours_6.zip" "$OUT/archives/s.zip"
cp "$ours/ours_mszip.cab" "$OUT/archives/s.cab"
mapfile -t rars < <(find "$CORPUS_SRC/rar" -name '*.rar' -size -4k 2>/dev/null | sort)
if [[ ${#rars[@]} -gt 0 ]]; then cp "${rars[0]}" "$OUT/archives/s.rar"; fi

# Command lines: byte 0 picks Unlha, UnZip, Zip, SevenZip, Cab, Unrar.
cmd() { printf "\\x$(printf %02x "$1")%s" "$2" > "$C/fuzz_cmdline/$3"; }
cmd 0 'x  -n -jyo "s.lzh" "out"' lha_x
cmd 0 'e -n "s.lzh" "out/"' lha_e
cmd 0 'a -x1 -n -r2 -jm2 "new.lzh" "src/"' lha_a
cmd 0 'a -jm4 "new.lzh" "src"' lha_a4
cmd 1 '-x -q -o "s.zip" "out"' unzip_x
cmd 1 '-x -j -q "s.zip" "out"' unzip_j
cmd 2 '-r -q -6 "new.zip" *.*' zip_r
cmd 2 '-j -0 "src/new.zip" *.*' zip_j
cmd 3 'x -hide -aoa "s.zip" "out"' sz_x
cmd 3 'e -hide "s.rar" "out"' sz_e
cmd 4 '-x  -i -o "s.cab" "out"' cab_x
cmd 4 '-x -j "s.cab" "out"' cab_j
cmd 4 '-a -r -i -ml:21 "new.cab" *.*' cab_lzx
cmd 4 '-a -mz "new.cab" *.*' cab_mz
cmd 4 '-a -r -ms "new.cab" *.*' cab_ms
cmd 5 '-x -q -o "s.rar" "out\"' rar_x
cmd 5 '-e "s.rar" "out/"' rar_e

# INI files, the first with a key to write back.
printf '; conv|saveFolder|/home/user/変換済み\n[system]\nmode=1\r\n[conv]\nconvType=2\nsaveFolder=/tmp/a b\noverWrite=TRUE\n[Public]\nIniVersion=3\n' > "$C/fuzz_ini/basic"
printf '[singlefilemode]\nsingleBeforeFileName="  padded  "\n;comment\n#other\n[conv]\noverWrite=-5\n  [ system ]  \n mode = 99999999999\n' > "$C/fuzz_ini/odd"
printf '; a|b| spaced \n[a]\nb="q"\n' > "$C/fuzz_ini/quoted"

# Round trips: text and binary from the corpus behind each selector byte.
n=0
mapfile -t texts < <(find "$CORPUS_SRC" -type f -name '*.txt' -size -60k 2>/dev/null | sort)
for f in "${texts[@]:0:12}"; do
    n=$((n + 1))
    { printf "\\x$(printf %02x $((n % 4)))"; cat "$f"; } > "$C/fuzz_lha_roundtrip/txt$n"
    { printf "\\x$(printf %02x $((n % 7 + (n & 1) * 8)))\\x00"; cat "$f"; } > "$C/fuzz_lzx_roundtrip/txt$n"
done
for f in "$ours"/ours_0.zip "$ours"/ours_lh0.lzh; do
    { printf '\x01'; cat "$f"; } > "$C/fuzz_lha_roundtrip/$(basename "$f")"
    { printf '\x0e\x10'; cat "$f"; } > "$C/fuzz_lzx_roundtrip/$(basename "$f")"
done
head -c 70000 /dev/urandom > "$C/fuzz_lzx_roundtrip/random"

# Header writers: flags, sizes, time, CRC, mode, then a length-prefixed name.
hdr() { printf "$1" > "$C/fuzz_lha_header/$2"; }
hdr '\x02\x10\x00\x00\x00\x20\x00\x00\x00\x00\x00\x00\x60\x34\x12\xa4\x81\x0d\x00dir/sub/a.txt' plain
hdr '\x01\x00\x00\x00\x60\x00\x00\x0c\x00\xe6\x97\xa5\xe6\x9c\xac/\xe8\xaa\x9e' folder
hdr '\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00\x00\x05\x00\x82\xa0/\x5c' rawname
cabw() { printf "$1" > "$C/fuzz_cab_writer/$2"; }
cabw '\x01\x02\x05\x00a.txt\x10\x00\x00\x00\x20\x00\x00\x00\x00\x00\x05\x00b\\\\c\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00data data data' two
cabw '\x06\x01\x01\x02\x02\x00\x10\x00\x00\x00\x03\x00x\xe2\x82\xac\x00\x00\x01\x00\x20\x00\x00\x00\x00\x00' limits
echo "corpora in $C"
