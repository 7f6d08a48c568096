#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"

#include <stdexcept>

#include "OxlTbx/TimeCode.h"

namespace QTTimeCodeTools {

OxlTbx::VideoSystem GetSourceSystem(bool dropFrame, uint8_t frameCount) {
  switch (frameCount) {
    case 24: return dropFrame ? OxlTbx::VS_24Drop : OxlTbx::VS_24;
    case 25: return OxlTbx::VS_PAL;
    case 30: return dropFrame ? OxlTbx::VS_NTSCDrop : OxlTbx::VS_NTSCNoDrop;
    case 50: return OxlTbx::VS_FieldPAL;
    case 60: return dropFrame ? OxlTbx::VS_FieldNTSCDrop : OxlTbx::VS_FieldNTSCNoDrop;
    default: throw std::runtime_error("Unsupported number tmcd number of frames");
  }
}

unsigned int ComputeInitialTc(uint32_t frameNumber, bool dropFrame, uint8_t frameCount, OxlTbx::VideoSystem target) {
  const OxlTbx::VideoSystem source = GetSourceSystem(dropFrame, frameCount);
  // Interlaced systems count fields, two per frame; the progressive ones (6 and up) one.
  const unsigned long count = source < OxlTbx::VS_FieldPAL ? 2UL * frameNumber : frameNumber;
  CTimeCode timecode(count, source);
  timecode.ConvertToSystem(target);
  return static_cast<unsigned int>(timecode.GetFields());
}

}  // namespace QTTimeCodeTools
