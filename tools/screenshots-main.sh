#!/bin/sh
# Pictures of the multiple-file and single-file windows, for review by eye.
# Usage: tools/screenshots-main.sh [BUILD_DIR] [OUTPUT_DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
out=${2:-"$build/screenshots"}
cmake --build "$build" --target qvo-screenshots -j2
mkdir -p "$out"
QVO_SCREENSHOT_DIR=$(cd "$out" && pwd) QT_QPA_PLATFORM=offscreen \
  "$build/bin/qvo-screenshots" --gtest_filter='Screenshots.MainWindows'
ls -1 "$out"/*.png
