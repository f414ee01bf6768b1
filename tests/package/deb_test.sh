#!/usr/bin/env bash
# The Debian package as a user gets it: installs the newest package below
# BUILD_DIR/package (made by `make deb`) with apt, checks what it put where,
# converts archives with the installed programs and libraries, and purges
# it, leaving none of its files behind.  Needs root, as CI has; apt takes
# the dependencies from what is installed already and downloads nothing.
#
#   tests/package/deb_test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
corpus=${QVO_CORPUS_DIR:-../shared/corpus}

fail() { echo "deb-test: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "installing a package needs root"
deb=$(ls -t "$build"/package/qvo_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no package in $build/package (make deb builds it)"
if dpkg-query -W -f='${Status}' qvo 2>/dev/null | grep -q 'install ok installed'; then
  fail "a qvo package is installed already; this test would remove it"
fi

work=$(mktemp -d)
purge() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq qvo >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap purge EXIT

echo "deb-test: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$deb")" >/dev/null

dpkg -L qvo | sort >"$work/files"
for f in /usr/bin/qvo /usr/bin/qvo-convert \
         /usr/lib/qvo/unlha32.so /usr/lib/qvo/unzip32.so /usr/lib/qvo/Zip32J.so \
         /usr/lib/qvo/7-zip32.so /usr/lib/qvo/cab32.so /usr/lib/qvo/unrar32.so \
         /usr/share/applications/qvo.desktop /usr/share/icons/hicolor/scalable/apps/qvo.svg \
         /usr/share/icons/hicolor/48x48/apps/qvo.png \
         /usr/share/man/man1/qvo.1.gz /usr/share/man/man1/qvo-convert.1.gz \
         /usr/share/bash-completion/completions/qvo-convert; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
  [ -e "$f" ] || fail "$f was not installed"
done

# What ships carries no switch that makes a program kill itself (the tests
# make a worker die through a stand-in library of their own).
for f in /usr/bin/qvo /usr/bin/qvo-convert /usr/lib/qvo/*.so; do
  if strings -a "$f" | grep -q 'QVO_TEST_WORKER_DIES'; then fail "$f holds a test kill switch"; fi
done

# From the installed path, with nothing pointing into the build tree.
unset QVO_LIBRARY_DIR QVO_INI_FILE
/usr/bin/qvo-convert --version | grep -qx "qvo-convert [0-9.]*" || fail "qvo-convert --version"
/usr/bin/qvo --version | grep -qx "qvo [0-9.]*" || fail "qvo --version"
desktop-file-validate /usr/share/applications/qvo.desktop
zcat /usr/share/man/man1/qvo-convert.1.gz | grep -q '^\.TH "qvo-convert" "1"' || fail "manual page qvo-convert(1)"
bash -c '. /usr/share/bash-completion/bash_completion; . /usr/share/bash-completion/completions/qvo-convert;
         complete -p qvo-convert' >/dev/null || fail "bash completion"

mkdir -p "$work/in" "$work/out" "$work/tmp"
cp "$corpus/lzh/lhasa/explzh_723/h2_subdir.lzh" "$corpus/cab/gcab/test-mszip.cab" "$work/in/"
TMPDIR="$work/tmp" /usr/bin/qvo-convert --to zip --out "$work/out" "$work/in" ||
  fail "conversion to ZIP with the installed program"
unzip -tq "$work/out/h2_subdir.zip" >/dev/null || fail "h2_subdir.zip does not test clean"
unzip -Z1 "$work/out/h2_subdir.zip" | grep -qx 'subdir/subdir2/hello.txt' || fail "h2_subdir.zip lacks its member"
unzip -Z1 "$work/out/test-mszip.zip" | grep -qx 'test.txt' || fail "test-mszip.zip lacks its member"
TMPDIR="$work/tmp" /usr/bin/qvo-convert --to lzh --out "$work/lzh" "$work/out/test-mszip.zip" ||
  fail "conversion to LZH with the installed program"
lhasa -t "$work/lzh/test-mszip.lzh" >/dev/null || fail "test-mszip.lzh does not test clean"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq qvo >/dev/null
dpkg-query -W -f='${Status}' qvo 2>/dev/null | grep -q 'installed' && fail "qvo is still installed"
while read -r f; do
  if [ -e "$f" ] && [ ! -d "$f" ]; then fail "$f is left after purging"; fi
done <"$work/files"
[ ! -e /usr/lib/qvo ] || fail "/usr/lib/qvo is left after purging"
echo "deb-test: installed, converted and purged cleanly"
