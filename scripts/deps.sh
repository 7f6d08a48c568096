#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the tools (JSON, MD5)
# the benchmark (libavformat, which its smoke test also runs) and the fuzz
# targets (clang with its libFuzzer runtime) need.
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail
pkgs=(cmake g++ make pkg-config libboost-thread-dev libboost-system-dev
      libboost-filesystem-dev libexpat1-dev googletest libgtest-dev ffmpeg
      nlohmann-json3-dev libssl-dev libavformat-dev libavcodec-dev libavutil-dev
      clang libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
