#!/usr/bin/env bash
# Writes the starting inputs of every fuzz target to DIR (default build-fuzz/seeds):
# small FFmpeg movies and MXF files, the same with their media data cut so
# that mutations land on the tables, and hand-made inputs for the targets
# that take structures FFmpeg does not write. Runs once: an existing DIR is
# kept (delete it to make the seeds again).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../build-fuzz/seeds}"
if [ -f "$out/.done" ]; then exit 0; fi
mkdir -p "$out"/{media,qt_reader,identify,mxf_reader,imx_reader,mxf_klv,mxf_dm,avcintra,xml,xpath,timecode}
media="$out/media"

ff() { ffmpeg -y -nostdin -v error "$@"; }
pic() { echo "-f lavfi -i testsrc=size=$1:rate=$2"; }
tone="-f lavfi -i sine=frequency=1000:sample_rate=48000"
x264=false
if ffmpeg -hide_banner -encoders 2>/dev/null | grep libx264 >/dev/null; then x264=true; fi

# QuickTime and MP4: the codecs, audio formats, timecode tracks and
# fragment layouts the reader handles.
ff $(pic 64x48 25) $tone -t 0.2 -c:v prores_ks -profile:v 0 -c:a pcm_s16be -timecode 10:00:00:00 "$media/prores.mov"
ff $(pic 64x48 30000/1001) $tone -t 0.2 -c:v mjpeg -c:a pcm_s24le -timecode '01:00:00;02' "$media/mjpeg_drop.mov"
ff $(pic 720x576 25) -t 0.08 -c:v dvvideo -pix_fmt yuv420p -aspect 16:9 "$media/dv.mov"
ff $(pic 64x48 25) -t 0.3 -c:v qtrle -g 4 "$media/qtrle.mov"
ff $(pic 720x608 25) -t 0.08 -c:v mpeg2video -vtag mx5p -pix_fmt yuv422p -g 1 -b:v 50M -minrate 50M -maxrate 50M \
  -bufsize 2000000 -rc_init_occupancy 2000000 -intra_vlc 1 -non_linear_quant 1 -qmin 1 -qmax 12 -dc 10 "$media/imx.mov"
if $x264; then
  h264="-c:v libx264 -bf 2 -g 6 -pix_fmt yuv420p"
  ff $(pic 64x48 25) $tone -t 0.6 $h264 -c:a aac -timecode 10:00:00:00 "$media/h264_aac.mov"
  ff $(pic 64x48 25) $tone -t 0.6 $h264 -c:a aac -movflags +faststart "$media/h264_faststart.mp4"
  ff $(pic 64x48 25) -t 0.8 $h264 -movflags frag_keyframe+empty_moov "$media/frag_mfra.mp4"
  ff $(pic 64x48 25) -t 0.8 $h264 -movflags frag_keyframe+empty_moov+default_base_moof+skip_trailer "$media/frag_scan.mp4"
  ff $(pic 64x48 25) -t 0.8 $h264 -movflags +dash "$media/frag_dash.mp4"
  ff $(pic 64x48 25) -t 0.8 $h264 -frag_duration 0.2 -movflags frag_keyframe+empty_moov "$media/frag_duration.mov"
  ff $(pic 960x720 50) -t 0.02 -pix_fmt yuv420p10le -c:v libx264 -avcintra-class 50 "$media/avci50_720p.mov"
fi

# MXF: OP1a with DV, IMX (D-10), long-GOP MPEG-2, OP-Atom DNxHD, AVC-Intra.
ff $(pic 720x576 25) -t 0.08 -c:v dvvideo -pix_fmt yuv420p -timecode 10:00:00:00 -f mxf "$media/dv.mxf"
ff $(pic 720x576 25) $tone -t 0.08 -c:v mpeg2video -pix_fmt yuv422p -g 1 -bf 0 -flags +ildct+low_delay -dc 10 \
  -intra_vlc 1 -non_linear_quant 1 -ps 1 -qmin 1 -qmax 3 -top 1 -vf pad=720:608:0:32 -b:v 30M -minrate 30M \
  -maxrate 30M -bufsize 1200000 -rc_init_occupancy 1200000 -c:a pcm_s16le -ac 2 -f mxf_d10 "$media/d10.mxf"
ff $(pic 320x240 30000/1001) -t 0.3 -c:v mpeg2video -g 6 -timecode '01:00:59;29' -f mxf "$media/mpeg2_drop.mxf"
ff $(pic 1280x720 50) -t 0.02 -c:v dnxhd -b:v 90M -pix_fmt yuv422p -f mxf_opatom "$media/dnxhd_opatom.mxf"
if $x264; then
  ff $(pic 1920x1080 25) -t 0.04 -pix_fmt yuv422p10le -c:v libx264 -avcintra-class 100 -timecode 23:59:59:24 \
    -f mxf "$media/avci100.mxf"
  # AVC-Intra frames as an elementary stream, for the helper's seeds.
  ff $(pic 960x720 50) -frames:v 1 -pix_fmt yuv420p10le -c:v libx264 -avcintra-class 50 -f h264 "$media/avci50_720p.h264"
  ff $(pic 1920x1080 25) -frames:v 1 -pix_fmt yuv422p10le -c:v libx264 -avcintra-class 100 -f h264 "$media/avci100_1080.h264"
  ff $(pic 1920x1080 25) -frames:v 1 -pix_fmt yuv422p10le -c:v libx264 -x264-params keyint=1 -profile:v high422 \
    -f h264 "$media/h264_422_1080.h264"
fi

python3 "$here/make_seeds.py" "$media" "$out"
touch "$out/.done"
