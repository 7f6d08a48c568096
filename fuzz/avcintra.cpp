// AVC-Intra frames: mode detection on arbitrary frames, and formatting for
// the detected mode and for a mode from the input.
//
// Input: byte 0 picks the mode to format for, the rest is the frame.
#include <vector>

#include "qelMuxerUtils/OXLAVCIntraHelper.h"
#include "support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  if (size < 1) return 0;
  using Mode = COXLAVCIntraHelper::avc_intra_compression_mode_enum;
  const Mode chosen = static_cast<Mode>(data[0] % 36);
  // An exact copy, so that ASan sees any read past the end.
  const std::vector<unsigned char> frame(data + 1, data + size);
  const unsigned char* in = frame.empty() ? nullptr : frame.data();
  COXLAVCIntraHelper helper;
  OXL_FUZZ_NOTHROW("AVC-Intra", {
    const Mode detected = helper.GetAVCIntraMode(in, frame.size());
    for (Mode mode : {detected, chosen}) {
      std::vector<unsigned char> scratch;
      unsigned char* out = nullptr;
      unsigned int outSize = 0;
      if (!helper.Format(mode, in, frame.size(), out, outSize, scratch, 0)) continue;
      // The modes of the table bound what comes out; 34 and unknown values do not.
      const uint32_t limit = helper.GetMaxFrameSize(mode);
      if (limit != 0 && outSize > limit) {
        std::fprintf(stderr, "mode %u formatted %u bytes, above its largest frame %u\n", mode, outSize, limit);
        std::abort();
      }
      // What comes out is a whole frame of its own: it classifies again.
      helper.GetAVCIntraMode(out, outSize);
    }
  });
  return 0;
}
