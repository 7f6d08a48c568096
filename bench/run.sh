#!/usr/bin/env bash
# Benchmarks the QuickTime and MXF readers against FFmpeg's libavformat, the reader most
# users would pick instead, on the same files in the same run, and writes the
# result tables into BENCHMARKS.md.
#
#   bench/run.sh            make the inputs (once), build oxl_bench, measure, write BENCHMARKS.md
#   bench/run.sh --smoke D  tiny inputs in folder D, one checked run of every measurement
#                           (part of the test command: seconds, not a measurement)
#
# Environment:
#   OXL_BENCH_DATA   folder of the inputs and raw results (default: oxl-bench-data beside the repository)
#   OXL_BENCH_REPS   repetitions of every measurement (default 5; medians are reported)
#   OXL_BENCH_BIN    an already built oxl_bench (default: build it in build-bench)
#   OXL_BENCH_PRORES_SECONDS  length of the ProRes file (default 600)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bench=$repo/bench

# --- Inputs -----------------------------------------------------------------
# make_input <kind> <seconds> <size> <output>: one movie made by FFmpeg. Kinds:
#   mjpeg25     25 fps MJPEG at <size> with two mono 48 kHz PCM tracks, one audio
#               packet per frame and track (broadcast-style interleaving)
#   h264_5994   59.94 fps H.264 long GOP (50 frames, 2 B-frames) at <size>
#   prores      25 fps ProRes 422 HQ at <size>; a two-second clip of noisy
#               pictures (frames near the profile's full size) looped by stream copy
#   h264_frag25 fragmented MP4 (empty movie header, one fragment per second,
#               fragment random-access table at the end): 25 fps H.264 at <size>,
#               GOP of 25 with a fragment at each sync sample; a clip of up to a
#               minute looped by stream copy. Video only: the reader cannot time
#               the per-sample durations FFmpeg writes for AAC and PCM fragments.
#   d10_50      MXF OP1a D-10 50 (IMX 50: MPEG-2 4:2:2P intra at 50 Mbit/s, 720x608
#               PAL 25 fps, constant-size edit units) with four 24-bit 48 kHz PCM
#               channels in the D-10 AES3 element; <size> is ignored (the format
#               fixes it). A clip of up to ten seconds looped by stream copy,
#               which FFmpeg's mxf_d10 muxer accepts.
make_input() {
  local kind=$1 seconds=$2 size=$3 out=$4
  [ -s "$out" ] && return 0
  local part=$out.part.${out##*.}  # the output's extension: FFmpeg picks the container by it
  local ff=(ffmpeg -y -nostdin -v error)
  case $kind in
    mjpeg25)
      "${ff[@]}" -f lavfi -i "testsrc=size=$size:rate=25" \
        -f lavfi -i anullsrc=r=48000:cl=mono:nb_samples=1920 \
        -f lavfi -i anullsrc=r=48000:cl=mono:nb_samples=1920 \
        -map 0 -map 1 -map 2 -c:v mjpeg -q:v 5 -c:a pcm_s16le -t "$seconds" "$part" ;;
    h264_5994)
      "${ff[@]}" -f lavfi -i "testsrc2=size=$size:rate=60000/1001" -c:v libx264 -preset ultrafast \
        -g 50 -bf 2 -pix_fmt yuv420p -t "$seconds" "$part" ;;
    prores)
      local clip=$out.clip.mov clipSeconds=2
      [ "$seconds" -lt "$clipSeconds" ] && clipSeconds=$seconds
      "${ff[@]}" -f lavfi -i "testsrc2=size=$size:rate=25,noise=alls=30:allf=t" -c:v prores_ks -profile:v 3 \
        -pix_fmt yuv422p10le -t "$clipSeconds" "$clip"
      "${ff[@]}" -stream_loop -1 -i "$clip" -c copy -t "$seconds" "$part"
      rm -f "$clip" ;;
    h264_frag25)
      local clip=$out.clip.mp4 clipSeconds=60
      [ "$seconds" -lt "$clipSeconds" ] && clipSeconds=$seconds
      "${ff[@]}" -f lavfi -i "testsrc=size=$size:rate=25" -c:v libx264 -preset ultrafast \
        -g 25 -keyint_min 25 -sc_threshold 0 -pix_fmt yuv420p -t "$clipSeconds" "$clip"
      "${ff[@]}" -stream_loop -1 -i "$clip" -c copy -t "$seconds" -movflags frag_keyframe+empty_moov \
        -f mp4 "$part"
      rm -f "$clip" ;;
    d10_50)
      # One frame is exactly 250,000 bytes: a buffer of one frame at a constant 50 Mbit/s.
      local clip=$out.clip.mxf clipSeconds=$((seconds < 20 ? (seconds + 1) / 2 : 10))
      "${ff[@]}" -f lavfi -i "testsrc=size=720x576:rate=25" -f lavfi -i sine=sample_rate=48000 -t "$clipSeconds" \
        -c:v mpeg2video -pix_fmt yuv422p -g 1 -bf 0 -flags +ildct+low_delay -dc 10 -intra_vlc 1 -non_linear_quant 1 \
        -ps 1 -qmin 1 -qmax 3 -top 1 -vf pad=720:608:0:32 -b:v 50M -minrate 50M -maxrate 50M -bufsize 2000000 \
        -rc_init_occupancy 2000000 -aspect 16:9 -c:a pcm_s24le -ac 4 -f mxf_d10 "$clip"
      "${ff[@]}" -stream_loop -1 -i "$clip" -c copy -t "$seconds" -f mxf_d10 "$part"
      rm -f "$clip" ;;
    *) echo "unknown input kind $kind" >&2; return 1 ;;
  esac
  mv "$part" "$out"
}

# --- Measuring --------------------------------------------------------------
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2; }

smoke=""
case "${1:-}" in
  --smoke) [ $# -eq 2 ] || usage; smoke=$2 ;;
  "") ;;
  *) usage ;;
esac

if [ -n "$smoke" ]; then
  data=$smoke reps=1 seeks=50 verify=--verify
  inputs=("hour25|mjpeg25|2|32x32|Smoke: 25 fps MJPEG, two PCM tracks|0.5"
          "hour5994|h264_5994|3|64x64|Smoke: 59.94 fps H.264 long GOP|0.5"
          "prores|prores|1|128x72|Smoke: ProRes 422 HQ|"
          "frag|h264_frag25|4|64x64|Smoke: fragmented MP4, H.264, one fragment per second|0.05"
          "imx50|d10_50|2|720x608|Smoke: MXF OP1a D-10 50 with PCM audio|0.5")
else
  data=${OXL_BENCH_DATA:-$(dirname "$repo")/oxl-bench-data} reps=${OXL_BENCH_REPS:-5} seeks=1000 verify=""
  proresSeconds=${OXL_BENCH_PRORES_SECONDS:-600}
  # label|kind|seconds|size|title|open time target: the most OXL may take as a share of libavformat's time
  # (the multi-hour files; empty: no open targets)
  inputs=("hour25|mjpeg25|3600|64x64|One hour at 25 fps: 90,000 MJPEG 64x64 frames and two mono 48 kHz PCM tracks|0.5"
          "hour5994|h264_5994|3600|128x72|One hour at 59.94 fps: 215,784 H.264 128x72 frames, long GOP (50 frames, 2 B-frames)|0.5"
          "prores|prores|$proresSeconds|1920x1080|$((proresSeconds / 60)) minutes at 25 fps: ProRes 422 HQ 1920x1080 (large intra frames)|"
          "frag|h264_frag25|18000|64x64|Five hours at 25 fps, fragmented MP4: 450,000 H.264 64x64 frames in 18,000 one-second fragments, with mfra|0.05"
          "imx50|d10_50|3600|720x608|One hour at 25 fps, MXF OP1a D-10 50: 90,000 IMX 50 720x608 frames of 250,000 bytes in constant-size edit units, with four 24-bit PCM channels|0.5")
fi
mkdir -p "$data"

bin=${OXL_BENCH_BIN:-}
if [ -z "$bin" ]; then
  build=$repo/build-bench
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXL_BUILD_BENCH=ON \
    -DOXL_BUILD_TESTS=OFF -DOXL_BUILD_TOOLS=OFF >/dev/null
  cmake --build "$build" -j2 --target oxl_bench >/dev/null
  bin=$build/bench/oxl_bench
fi

results=$data/results.txt
log=$data/oxl_bench.log
: >"$results"
: >"$log"
info() { printf 'info\t%s\t%s\n' "$1" "$2" >>"$results"; }
info date "$(date -u '+%Y-%m-%d %H:%M UTC')"
info cpu "$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores"
info memory "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
info system "$(uname -sr), $(. /etc/os-release && echo "$PRETTY_NAME")"
info avformat "$("$bin" --version)"
info commit "$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
info reps "$reps"
info seeks "$seeks"

# A file larger than three quarters of this machine's memory cannot stay in the page
# cache between runs, and what part of it does depends on the run before. Such
# a file is measured cold: the page cache is emptied before every run (root
# only), so every reader reads it from disk alike. Without that right it is
# measured as it comes, and the report says so.
memKiB=$(awk '/MemTotal/ { print $2 }' /proc/meminfo)
cache_mode() {
  [ $(($(stat -c %s "$1") / 1024)) -le $((memKiB / 4 * 3)) ] && { echo warm; return; }
  [ -w /proc/sys/vm/drop_caches ] && echo cold || echo uncontrolled
}
drop_cache() { sync; echo 3 >/proc/sys/vm/drop_caches; }

# measure <label> <path> <rep> <measure> <reader>: one process, one line of figures.
measure() {
  local label=$1 path=$2 rep=$3 what=$4 reader=$5 extra=()
  [ "$what" = seek ] && extra=(--seeks "$seeks" --landings "$data/landings.$label.$reader")
  [ "$cache" = cold ] && drop_cache
  local line
  if ! line=$(nice "$bin" "$what" "$reader" "$path" "${extra[@]}" $verify 2>>"$log"); then
    echo "oxl_bench $what $reader $path failed:" >&2
    tail -5 "$log" >&2
    exit 1
  fi
  echo "file=$label rep=$rep $line" >>"$results"
}

for input in "${inputs[@]}"; do
  IFS='|' read -r label kind seconds size title openTarget <<<"$input"
  ext=mov
  [ "$kind" = d10_50 ] && ext=mxf
  path=$data/${label}_${seconds}s.$ext
  echo "input $label: making (once) and measuring" >&2
  make_input "$kind" "$seconds" "$size" "$path"
  cache=$(cache_mode "$path")
  [ "$cache" = warm ] && cat "$path" >/dev/null  # warm cache: both readers start from the same state
  printf 'input\t%s\t%s\t%s\t%s\t%s\n' "$label" "$title" "$(stat -c %s "$path")" "$openTarget" "$cache" >>"$results"
  for rep in $(seq 1 "$reps"); do
    # Alternate which reader goes first, so that neither always inherits the other's cache state.
    if [ $((rep % 2)) -eq 1 ]; then readers=(oxl avformat); else readers=(avformat oxl); fi
    for what in open forward backward seek; do
      for reader in "${readers[@]}"; do measure "$label" "$path" "$rep" "$what" "$reader"; done
      if [ "$what" = forward ]; then
        measure "$label" "$path" "$rep" forward read
        measure "$label" "$path" "$rep" forward copy
      fi
    done
  done
  agree=$(paste -d' ' "$data/landings.$label.oxl" "$data/landings.$label.avformat" | awk '$2 == $4' | wc -l)
  printf 'landings\t%s\t%s\t%s\n' "$label" "$agree" "$(wc -l <"$data/landings.$label.oxl")" >>"$results"
done

if [ -n "$smoke" ]; then
  "$bench/report.sh" "$results" "$data/BENCHMARKS.md"
  "$bench/smoke_check.sh" "$results" "$data/BENCHMARKS.md"
else
  "$bench/report.sh" "$results" "$repo/BENCHMARKS.md"
  cp "$results" "$data/results-$(date -u +%Y%m%d-%H%M).txt"
  echo "written: $repo/BENCHMARKS.md (raw figures: $results)" >&2
fi
