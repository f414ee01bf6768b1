#!/usr/bin/env bash
# Takes PNG pictures of Qvo's windows on a virtual X display (Xvfb) with the
# Japanese fonts, for review by eye: the program as it starts, the progress
# window during a real conversion (and a simulated one), every page of the
# settings dialog, the about window with and without its hidden picture, and
# the folder browser.  Each set is taken in English and in Japanese, at
# 96 dpi and at 144 dpi (QT_SCALE_FACTOR=1.5), into OUTPUT_DIR/<en|ja>-<dpi>dpi/.
#
#   tools/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR defaults to build/, OUTPUT_DIR to BUILD_DIR/screenshots.
# LANGUAGES and DENSITIES ("96 144") narrow the sets.
# Needs Xvfb (package xvfb) and fonts-noto-cjk.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
out=$(realpath -m "${2:-$build/screenshots}")

if ! command -v Xvfb >/dev/null; then
    echo "screenshots.sh: Xvfb is missing (apt-get install xvfb)" >&2
    exit 1
fi
if ! fc-list | grep -q 'Noto Sans CJK JP'; then
    echo "screenshots.sh: warning: Noto Sans CJK JP not found (apt-get install fonts-noto-cjk)" >&2
fi

cmake --build "$build" --target qvo qvo-screenshots -j "${JOBS:-2}"
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=
qvo_pid=
cleanup() {
    [ -n "$qvo_pid" ] && kill "$qvo_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
export LC_ALL=C.UTF-8
export QVO_INI_FILE="$work/qvo3.ini"

# A source large enough to keep the progress window up for a while.
if command -v zip >/dev/null; then
    mkdir -p "$work/big"
    head -c 60000000 /dev/urandom | base64 >"$work/big/large-text.txt"
    (cd "$work/big" && zip -q -1 "$work/large.zip" large-text.txt)
    rm -rf "$work/big"
    export QVO_SCREENSHOT_SOURCE="$work/large.zip"
else
    echo "screenshots.sh: zip is missing: no picture of a real conversion" >&2
fi

for language in ${LANGUAGES:-en ja}; do
    for dpi in ${DENSITIES:-96 144}; do
        set_dir="$out/$language-${dpi}dpi"
        mkdir -p "$set_dir"
        export QVO_SCREENSHOT_DIR="$set_dir"
        # The language as a user's environment names it; the locale stays C.
        export LANGUAGE="$language"
        export QT_SCALE_FACTOR
        QT_SCALE_FACTOR=$(awk -v d="$dpi" 'BEGIN { print d / 96 }')
        rm -f "$work/qvo3.ini"

        # The program as it starts.
        "$build/bin/qvo" &
        qvo_pid=$!
        sleep 2
        QVO_SCREENSHOT_SCREEN="$set_dir/qvo-screen.png" "$build/bin/qvo-screenshots" \
            --gtest_filter='Screenshots.Screen' >/dev/null
        kill "$qvo_pid"
        wait "$qvo_pid" 2>/dev/null || true
        qvo_pid=

        "$build/bin/qvo-screenshots" --gtest_filter='-Screenshots.Screen' >/dev/null
    done
done

ls -1 "$out"/*/*.png
