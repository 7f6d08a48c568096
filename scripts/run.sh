#!/usr/bin/env bash
# Installs what is missing, builds the library and the oxlprobe tool, and
# probes the bundled sample clip; with arguments, runs oxlprobe with them
# instead (paths relative to where you are): ./scripts/run.sh --samples my.mov
# OXL_BUILD_DIR selects another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OXL_BUILD_DIR:-build}
(
  cd "$root"
  ./scripts/deps.sh
  cmake -S . -B "$build" >/dev/null
  cmake --build "$build" -j2 --target oxlprobe
) >&2
[[ "$build" = /* ]] || build="$root/$build"
if [ $# -eq 0 ]; then
  cd "$root"
  exec "$build/tools/oxlprobe" samples/sample.mov
fi
exec "$build/tools/oxlprobe" "$@"
