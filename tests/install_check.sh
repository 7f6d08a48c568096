#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs an
# outside project against it, once through CMake and once through pkg-config.
set -euo pipefail
build=$1 src=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/tests/install_consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libOXLDataReader.so' | head -1)")
out=$(LD_LIBRARY_PATH="$libdir" "$work/consumer/consumer" "$src/CMakeLists.txt")
echo "$out"
[[ "$out" == *" MPEG-DASH File" ]]
pc=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs oxldatareader)
g++ -std=c++17 "$src/tests/install_consumer/main.cpp" -o "$work/pkgconfig-consumer" $pc
LD_LIBRARY_PATH="$libdir" "$work/pkgconfig-consumer" "$src/CMakeLists.txt" | grep -q "MPEG-DASH File"
echo "install check passed"
