#pragma once
// Reference sequence and picture parameter sets of the AVC-Intra
// configurations, inserted into frames that come without their own (P2
// cameras and MXF files leave them out). They were obtained as data from x264
// (AVC-Intra classes 50 and 100 in x264's AVC-Intra flavour, which is also
// the one its Sony XAVC-Intra flavour writes, and XAVC-Intra 300 and 480) by
// scripts/make_avcintra_parameter_sets.py; each row names its source.
#include <cstddef>
#include <cstdint>

namespace AVCIntra {

struct ReferenceParameterSets {
  unsigned int avcClass;  // 50, 100, 300, 480
  unsigned int width, height;
  bool interlaced;
  unsigned int rateNumerator, rateDenominator;  // frames per second
  const unsigned char* sps;  // NAL unit without start code
  size_t spsSize;
  const unsigned char* pps;
  size_t ppsSize;
};

extern const ReferenceParameterSets kReferenceParameterSets[];
extern const size_t kReferenceParameterSetCount;

}  // namespace AVCIntra
