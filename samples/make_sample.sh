#!/usr/bin/env bash
# Makes the bundled sample clip: 2 s of 320x180 ProRes 422 Proxy at 25 fps in a
# QuickTime movie, with 48 kHz stereo 16-bit PCM and a 10:00:00:00 timecode
# track. FFmpeg's test sources keep it small and reproducible.
set -euo pipefail
cd "$(dirname "$0")"
ffmpeg -v error -y \
  -f lavfi -i "testsrc=size=320x180:rate=25:duration=2" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=2" \
  -map 0:v -map 1:a -ac 2 \
  -c:v prores_ks -profile:v 0 -vendor apl0 -pix_fmt yuv422p10le \
  -c:a pcm_s16be -timecode 10:00:00:00 \
  -fflags +bitexact -flags:v +bitexact -flags:a +bitexact \
  sample.mov
ls -l sample.mov
