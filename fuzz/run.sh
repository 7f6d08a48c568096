#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with ASan and UBSan, build folder
# build-fuzz, or OXL_FUZZ_BUILD_DIR: CI reuses its sanitizer build, configured
# with OXL_FUZZ too) and runs each for SECONDS with its corpus, one after the
# other. OXL_FUZZ_TIMEOUT (seconds, default 1) is the time an input may take;
# CI's unoptimised build allows more.
#
#   fuzz/run.sh SECONDS [TARGET...]     e.g. fuzz/run.sh 3600 qt_reader
#
# Corpora live in fuzz/corpus/<target> (not in git; new inputs that reach new
# code are kept there), seeded from FFmpeg files by make_corpus.sh. Inputs
# that crash, leak, time out (over a second) or allocate too much go to
# fuzz/artifacts/; the output of each run, with -print_final_stats, to
# build-fuzz/logs/<target>.log. Exits 1 when any target found something.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
shift
all=(qt_reader identify mxf_reader imx_reader mxf_dm mxf_klv avcintra xml xpath timecode)
targets=("${@:-${all[@]}}")
build=${OXL_FUZZ_BUILD_DIR:-build-fuzz}
./scripts/deps.sh || exit 2

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" -DOXL_FUZZ=ON \
    -DOXL_BUILD_TESTS=OFF -DOXL_BUILD_TOOLS=OFF >/dev/null || exit 2
fi
cmake --build "$build" -j2 --target $(printf 'fuzz_%s ' "${targets[@]}") >"$build/fuzz-build.log" 2>&1 ||
  { tail -40 "$build/fuzz-build.log"; exit 2; }
fuzz/make_corpus.sh "$build/seeds" || exit 2
mkdir -p "$build/logs" fuzz/artifacts

# Input size: the targets that read files take whole small movies.
max_len() {
  case "$1" in
    qt_reader | identify | mxf_reader | imx_reader) echo 131072 ;;
    avcintra) echo 163840 ;;
    xml) echo 16384 ;;
    *) echo 4096 ;;
  esac
}
dict() {
  case "$1" in
    qt_reader) echo "-dict=fuzz/dict/mp4.dict" ;;
    identify) echo "-dict=fuzz/dict/identify.dict" ;;
    mxf_reader | imx_reader | mxf_klv | mxf_dm) echo "-dict=fuzz/dict/mxf.dict" ;;
    xml) echo "-dict=fuzz/dict/xml.dict" ;;
    xpath) echo "-dict=fuzz/dict/xpath.dict" ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  corpus="fuzz/corpus/$t"
  mkdir -p "$corpus"
  log="$build/logs/$t.log"
  echo "== $t: ${seconds}s"
  "$build/fuzz/fuzz_$t" "$corpus" "$build/seeds/$t" $(dict "$t") -max_len="$(max_len "$t")" \
    -max_total_time="$seconds" -timeout="${OXL_FUZZ_TIMEOUT:-1}" -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -print_final_stats=1 -artifact_prefix="fuzz/artifacts/$t-" >"$log" 2>&1
  rc=$?
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: .*(DONE|INITED)" "$log" | tail -3
  if [ $rc -ne 0 ]; then
    status=1
    echo "!! $t found something (exit $rc): see $log and fuzz/artifacts/$t-*"
    grep -E "ERROR|==oxlfuzz==|SUMMARY" "$log" | head -5
  fi
done
exit $status
