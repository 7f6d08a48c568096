// Start timecodes from QuickTime time-code tracks, for what the FFmpeg files
// do not reach: 24 and non-drop 30 and 60 frame counts, and a start read
// into a system of the other scan (the files give 25, 29.97 drop, 50 and
// 59.94 drop into their own).
#include <gtest/gtest.h>

#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"

using namespace QTTimeCodeTools;

TEST(TimeCodeTracks, FrameCountAndDropFlagGiveTheSystemAndFramesBecomeFieldsOfTheTarget) {
  EXPECT_EQ(GetSourceSystem(true, 24), OxlTbx::VS_24Drop);
  EXPECT_EQ(GetSourceSystem(false, 24), OxlTbx::VS_24);
  EXPECT_EQ(GetSourceSystem(false, 30), OxlTbx::VS_NTSCNoDrop);
  EXPECT_EQ(GetSourceSystem(false, 60), OxlTbx::VS_FieldNTSCNoDrop);
  EXPECT_THROW(GetSourceSystem(false, 29), std::runtime_error);
  // 10:00:00:00 at 25 frames/s is frame 900000; at 50 frames/s frame 100 is 00:00:02:00.
  EXPECT_EQ(ComputeInitialTc(900000, false, 25, OxlTbx::VS_FieldPAL), 1800000u);
  EXPECT_EQ(ComputeInitialTc(100, false, 50, OxlTbx::VS_PAL), 100u);
}
