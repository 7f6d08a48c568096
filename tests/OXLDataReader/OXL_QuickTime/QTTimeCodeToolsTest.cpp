// Time-code tracks the FFmpeg files do not reach: 24 and non-drop 30 and 60
// frame counts, and a start read into a system of the other scan.
#include <gtest/gtest.h>

#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"

using namespace QTTimeCodeTools;

TEST(TimeCodeTracks, FrameCountAndDropFlagGiveTheSystem) {
  EXPECT_EQ(GetSourceSystem(true, 24), OxlTbx::VS_24Drop);
  EXPECT_EQ(GetSourceSystem(false, 24), OxlTbx::VS_24);
  EXPECT_EQ(GetSourceSystem(false, 30), OxlTbx::VS_NTSCNoDrop);
  EXPECT_EQ(GetSourceSystem(false, 60), OxlTbx::VS_FieldNTSCNoDrop);
  EXPECT_THROW(GetSourceSystem(false, 29), std::runtime_error);
  EXPECT_EQ(ComputeInitialTc(900000, false, 25, OxlTbx::VS_FieldPAL), 1800000u);  // 10:00:00:00 in fields
}
