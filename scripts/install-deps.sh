#!/usr/bin/env bash
# Installs the Debian 12 packages Trawlix needs to build, run and test. Does nothing when all are there.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git clang-format
    libcurl4-openssl-dev libssl-dev
    qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-webengine-dev qt6-pdf-dev libqt6webenginecore6-bin libgl-dev
    qt6-translations-l10n
    fp-utils libchm-bin libchm-dev
    libgumbo-dev libzip-dev libsqlite3-dev
    fonts-noto-cjk
)
if [ "${1:-}" = "--test" ]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth nginx-light wget openssl)
    # The fuzz programs (libFuzzer and its sanitizers come with clang).
    packages+=(clang libclang-rt-14-dev)
    # EPUB books are checked with epubcheck, which runs on Java.
    packages+=(epubcheck default-jre-headless)
    packages+=(desktop-file-utils appstream)
    # Real documentation sites served on 127.0.0.1, and a browser and ImageMagick to compare how their
    # saved copies look.
    packages+=(debian-reference-zh-cn debian-faq-zh-cn maint-guide-zh-cn chromium imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
