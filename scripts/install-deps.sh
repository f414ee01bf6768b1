#!/usr/bin/env bash
# Installs the Debian packages Qvo needs to build, test and benchmark.
# Idempotent and quick: apt-get runs only when a package is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config python3
  # libraries
  qt6-base-dev qt6-qpa-plugins liblhasa-dev libmspack-dev libarchive-dev
  libdeflate-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  libuchardet-dev libutf8proc-dev
  # translations, manual pages, desktop entry, MIME types and the package
  qt6-l10n-tools qt6-translations-l10n scdoc desktop-file-utils bash-completion
  shared-mime-info dpkg-dev
  # independent readers the tests use as oracles
  lhasa libarchive-tools 7zip cabextract unar unzip zip gcab
  # makes the ARJ archives (methods, volumes, self-extractors) the tests read
  arj
  # desktop tests and screenshots
  xvfb xauth xdotool fonts-noto-cjk
  # fuzzing (libFuzzer runtime and symbolizer)
  clang libclang-rt-14-dev llvm-14
  # benchmarks
  hyperfine jlha-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
