#!/usr/bin/env bash
# Installs the Debian packages Lumetra needs to build and test; only those missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev libfreetype-dev fonts-dejavu-core libpng-dev
          libjpeg-dev ffmpeg libjpeg62-turbo-dev libtiff-dev libopenexr-dev libsndfile1-dev
          libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev sox
          libcairo2-dev)  # libcairo2-dev: the shape fill benchmark's peer only
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
