#pragma once
// COXLAVCIntraHelper: sizes, formatting and classification of AVC-Intra
// frames (Panasonic AVC-Intra 50 and 100, Sony XAVC-Intra).
//
// Modes. A compression mode names an AVC-Intra class with the picture format
// and frame rates it covers. 0-15 are AVC-Intra (class 50: 0-7, class 100:
// 8-15), 16-33 XAVC-Intra, 34 unknown:
//
//   class 50/100 AVC-Intra  +0 720p50   +1 720p59.94  +2 25 frames/s, any format (1080i50, 1080p25, 720p25)
//   (base 0 / 8)            +3 29.97 or 23.976 frames/s, any format        +4 720p25  +5 720p29.97 or 23.976
//                           +6 1080p50  +7 1080p59.94
//   XAVC-Intra class 50     16 1080 at 25 frames/s   17 1080 at 29.97 or 23.976
//   XAVC-Intra class 100    18 720p25/50   19 720p23.976/29.97/59.94   20 1080i50   21 1080i59.94
//                           22 1080p25     23 1080p23.976   24 1080p50   25 1080p29.97 or 59.94
//   XAVC-Intra class 300    26 2160p25  27 2160p29.97 or 23.976  28 2160p50  29 2160p59.94
//   XAVC-Intra class 480    30-33 as 26-29
//
// The modes that cover several picture formats are the ones a reader picks
// from a container's description, which does not always tell the scan or
// the picture size; GetAVCIntraMode on a frame gives the narrowest mode.
//
// Format makes each frame a self-contained Annex B access unit that any H.264
// decoder accepts on its own: the frame's NAL units are kept as they are (a
// 4-byte length-prefixed frame gets start codes of the same size instead of
// its lengths), and when the frame has no sequence or picture parameter set,
// the reference one of the mode's class and picture format is inserted
// before its first NAL unit that is not an access unit delimiter (see
// AVCIntraParameterSets.h). When a mode covers several picture formats, the
// slices decide: the picture size whose macroblock count fits the slices'
// start addresses best. A frame that already is a complete Annex B access
// unit comes back as it is (the input buffer itself).
//
// Format fails (false) for a frame that is neither Annex B nor cleanly
// length-prefixed, holds no slice, lacks parameter sets when the mode is 34,
// or, for a mode of the table (0-33), would come out larger than
// GetMaxFrameSize(mode). Mode 34 and unknown values set no limit: a frame
// with its own parameter sets is formatted whatever its size.
//
// Classification reads the frame's own sequence parameter set: profile (High
// 10 Intra or High 4:2:2 Intra, 10 bits), chroma format and picture size
// give the class family, the frame rate comes from the timing information
// (without it, from the frame size), the frame size against the class's
// nominal frame size separates classes 100 and 200 (and 300 and 480), and the
// slice layout the makers: AVC-Intra codes every picture in exactly ten
// slices, so 2160-line frames and frames with another slice count are taken
// as XAVC-Intra. Frames without a sequence parameter set, of another profile,
// of AVC-Intra class 200 (which has no mode) or of a format no mode covers
// give 34.
//
// Not thread-safe; one object serves any number of frames.
#include <cstdint>
#include <vector>

class COXLAVCIntraHelper {
 public:
  enum avc_intra_compression_mode_enum : uint32_t {
    AVCI50_720p50 = 0,
    AVCI50_720p5994 = 1,
    AVCI50_25 = 2,
    AVCI50_2997 = 3,
    AVCI50_720p25 = 4,
    AVCI50_720p2997 = 5,
    AVCI50_1080p50 = 6,
    AVCI50_1080p5994 = 7,
    AVCI100_720p50 = 8,
    AVCI100_720p5994 = 9,
    AVCI100_25 = 10,
    AVCI100_2997 = 11,
    AVCI100_720p25 = 12,
    AVCI100_720p2997 = 13,
    AVCI100_1080p50 = 14,
    AVCI100_1080p5994 = 15,
    XAVCI50_1080_25 = 16,
    XAVCI50_1080_2997 = 17,
    XAVCI100_720_25 = 18,
    XAVCI100_720_2997 = 19,
    XAVCI100_1080i50 = 20,
    XAVCI100_1080i5994 = 21,
    XAVCI100_1080p25 = 22,
    XAVCI100_1080p2398 = 23,
    XAVCI100_1080p50 = 24,
    XAVCI100_1080p2997 = 25,
    XAVCI300_2160p25 = 26,
    XAVCI300_2160p2997 = 27,
    XAVCI300_2160p50 = 28,
    XAVCI300_2160p5994 = 29,
    XAVCI480_2160p25 = 30,
    XAVCI480_2160p2997 = 31,
    XAVCI480_2160p50 = 32,
    XAVCI480_2160p5994 = 33,
    AVCI_Unknown = 34,
  };

  COXLAVCIntraHelper() = default;
  ~COXLAVCIntraHelper() = default;

  // The largest formatted frame of the mode, parameter sets included: the
  // largest nominal frame size of the formats the mode covers, with a quarter
  // more for the supplemental data encoders add. 0 for 34 and unknown values.
  uint32_t GetMaxFrameSize(avc_intra_compression_mode_enum mode) const;

  // Formats `in` (see above). On success `out` points at the formatted frame:
  // `in` itself or the start of `scratch`, which it resizes. `flags` is
  // reserved (0).
  bool Format(avc_intra_compression_mode_enum mode, const unsigned char* in, unsigned int inSize, unsigned char*& out,
              unsigned int& outSize, std::vector<unsigned char>& scratch, unsigned int flags);

  // The mode of a whole frame, from its own parameter sets; 34 when it cannot
  // be classified.
  avc_intra_compression_mode_enum GetAVCIntraMode(const unsigned char* frame, unsigned int size) const;
};
