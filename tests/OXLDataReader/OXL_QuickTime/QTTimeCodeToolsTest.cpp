// Start timecodes from QuickTime time-code tracks.
#include <gtest/gtest.h>

#include <stdexcept>

#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"

using namespace QTTimeCodeTools;

TEST(TimeCodeTrackSystem, FrameCountsAndDropFlag) {
  EXPECT_EQ(GetSourceSystem(true, 24), OxlTbx::VS_24Drop);
  EXPECT_EQ(GetSourceSystem(false, 24), OxlTbx::VS_24);
  EXPECT_EQ(GetSourceSystem(true, 25), OxlTbx::VS_PAL);
  EXPECT_EQ(GetSourceSystem(true, 30), OxlTbx::VS_NTSCDrop);
  EXPECT_EQ(GetSourceSystem(false, 30), OxlTbx::VS_NTSCNoDrop);
  EXPECT_EQ(GetSourceSystem(false, 50), OxlTbx::VS_FieldPAL);
  EXPECT_EQ(GetSourceSystem(true, 60), OxlTbx::VS_FieldNTSCDrop);
  EXPECT_EQ(GetSourceSystem(false, 60), OxlTbx::VS_FieldNTSCNoDrop);
  try {
    GetSourceSystem(false, 29);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unsupported number tmcd number of frames");
  }
}

TEST(TimeCodeTrackStart, FramesBecomeFieldsOfTheTarget) {
  EXPECT_EQ(ComputeInitialTc(0x19, false, 25, OxlTbx::VS_PAL), 50u);  // 00:00:01:00
  // 10:00:00:00 at 25 fps is frame 900000: 1800000 fields in PAL, 1800000 in Field-PAL.
  EXPECT_EQ(ComputeInitialTc(900000, false, 25, OxlTbx::VS_PAL), 1800000u);
  EXPECT_EQ(ComputeInitialTc(900000, false, 25, OxlTbx::VS_FieldPAL), 1800000u);
  // 50 fps frame 100 is 00:00:02:00: 100 fields in Field-PAL and in PAL (50 fields a second).
  EXPECT_EQ(ComputeInitialTc(100, false, 50, OxlTbx::VS_FieldPAL), 100u);
  EXPECT_EQ(ComputeInitialTc(100, false, 50, OxlTbx::VS_PAL), 100u);
  // 29.97 drop: frame 17982 is 00:10:00;00 -> 35964 fields.
  EXPECT_EQ(ComputeInitialTc(17982, true, 30, OxlTbx::VS_NTSCDrop), 35964u);
}
