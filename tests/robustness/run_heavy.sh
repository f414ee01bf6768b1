#!/usr/bin/env bash
# The heavy robustness checks on their own: the 5 GiB file converted to
# ZIP, CAB and LHA, and the long batch over the corpus (five passes).
#   tests/robustness/run_heavy.sh [BUILD_DIR]    (default build)
# Needs about 6 GiB free below TMPDIR; prints each test's result and the
# peak memory of the whole run.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
cmake --build "$BUILD" --target test_robustness -j "${JOBS:-2}"
unset QVO_SKIP_HEAVY
QVO_LONG_RUN_PASSES=${QVO_LONG_RUN_PASSES:-5} /usr/bin/time -v \
    "$BUILD/bin/test_robustness" --gtest_filter='HugeFile*:LongRun*' 2>&1 |
    grep -E '^\[|pass [0-9]|peak memory|qvo-convert:|conversions|Failure|Expected|Which is|Maximum resident|Elapsed'
