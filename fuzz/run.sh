#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a set time.
#   fuzz/run.sh [--smoke] [TARGET...]
# FUZZ_SECONDS   seconds per target (default 600; 30 with --smoke)
# FUZZ_JOBS      targets run at once (default 2)
# FUZZ_OUT       output folder (default fuzz-out): corpus/<target> grows,
#                crashes/<target>/ keeps every crashing input, logs/ the
#                fuzzer output, summary.txt one line per target.
# A crash does not end a target's time: the fuzzer restarts and goes on.
# Single allocations up to 8 GiB pass (liblzma reserves the dictionary size
# a header names); resident size above 3 GiB counts as a finding.
# The exit status is 1 when any target found a crash (in a smoke run: a
# crash or a leak).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SMOKE=0
if [[ ${1:-} == --smoke ]]; then
    SMOKE=1
    shift
fi
SECONDS_EACH=${FUZZ_SECONDS:-$([[ $SMOKE == 1 ]] && echo 30 || echo 600)}
JOBS=${FUZZ_JOBS:-2}
BUILD=${FUZZ_BUILD:-build-fuzz}
OUT=$ROOT/${FUZZ_OUT:-fuzz-out}
ALL=(fuzz_extract_lha fuzz_extract_cab fuzz_extract_zip fuzz_extract_rar fuzz_cmdline
     fuzz_ini fuzz_lha_roundtrip fuzz_lzx_roundtrip fuzz_lha_header fuzz_cab_writer fuzz_rar_unpack
     fuzz_extract_arj fuzz_arj_decode)
[[ $# -gt 0 ]] && TARGETS=("$@") || TARGETS=("${ALL[@]}")

cmake -S fuzz -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVO_WERROR="${FUZZ_WERROR:-OFF}" \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD" --target fuzz_all make_seed_archives -j "${FUZZ_BUILD_JOBS:-2}"
FUZZ_OUT=${OUT#$ROOT/} fuzz/seed.sh "$BUILD" >/dev/null
mkdir -p "$OUT/logs" "$OUT/crashes"

# Per-target limits: short inputs where length means nothing more.
extra_args() {
    case $1 in
    fuzz_cmdline) echo "-max_len=512" ;;
    fuzz_ini|fuzz_lha_header|fuzz_cab_writer) echo "-max_len=4096" ;;
    fuzz_lha_roundtrip|fuzz_lzx_roundtrip) echo "-max_len=140000" ;;
    *) echo "-max_len=262144" ;;
    esac
}

run_target() {
    local t=$1 end=$((SECONDS + SECONDS_EACH)) execs=0 crashes=0 runs=0
    local log=$OUT/logs/$t.log
    mkdir -p "$OUT/crashes/$t"
    : > "$log"
    while (( SECONDS < end )); do
        local left=$((end - SECONDS))
        runs=$((runs + 1))
        set +e
        ( QVO_FUZZ_ARCHIVES=$OUT/archives ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1:allocator_may_return_null=1 \
        UBSAN_OPTIONS=print_stacktrace=1 \
            "$ROOT/$BUILD/fuzz/$t" $(extra_args "$t") -max_total_time="$left" -timeout=30 \
            -rss_limit_mb=3072 -malloc_limit_mb=8192 -print_final_stats=1 \
            -artifact_prefix="$OUT/crashes/$t/" "$OUT/corpus/$t" >> "$log" 2>&1 ) 2>/dev/null
        local rc=$?
        set -e
        local n
        n=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || echo 0)
        # The final stats of a crashed run are missing: count its executions
        # from the last progress line instead.
        if [[ $rc != 0 ]]; then
            crashes=$((crashes + 1))
            # A crashing seed would stop every restart at once: take it out.
            local newest
            newest=$(ls -t "$OUT/crashes/$t"/ 2>/dev/null | head -n1 || true)
            if [[ -n $newest ]]; then
                local sum
                sum=$(sha1sum < "$OUT/crashes/$t/$newest" | cut -d' ' -f1)
                for f in "$OUT/corpus/$t"/*; do
                    if [[ $(sha1sum < "$f" | cut -d" " -f1) == "$sum" ]]; then rm -f "$f"; fi
                done
            fi
            n=$(grep -o '^#[0-9]*' "$log" | tail -n1 | tr -d '#' || echo 0)
        fi
        execs=$((execs + ${n:-0}))
        echo "=== run $runs ended with status $rc ===" >> "$log"
    done
    # A smoke run counts crashes and leaks only: out-of-memory reports from
    # libraries we call (liblzma reserves what a header asks) and slow units
    # are for the long runs to look at.
    if [[ $SMOKE == 1 ]]; then
        crashes=$(ls "$OUT/crashes/$t" 2>/dev/null | grep -c -E '^(crash|leak)-' || true)
    fi
    printf '%-22s %6ss %12s execs %3s crashes\n' "$t" "$SECONDS_EACH" "$execs" "$crashes" \
        | tee -a "$OUT/summary.txt"
    [[ $crashes == 0 ]]
}

echo "# $(date -u +%FT%TZ) ${SECONDS_EACH}s per target" >> "$OUT/summary.txt"
status=0
for t in "${TARGETS[@]}"; do
    while (( $(jobs -rp | wc -l) >= JOBS )); do
        wait -n || status=1
    done
    run_target "$t" &
done
while (( $(jobs -rp | wc -l) > 0 )); do
    wait -n || status=1
done
[[ -n $(find "$OUT/crashes" -type f -print -quit 2>/dev/null) ]] && echo "crashing inputs kept in $OUT/crashes"
exit $status
