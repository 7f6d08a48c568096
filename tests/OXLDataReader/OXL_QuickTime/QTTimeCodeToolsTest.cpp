// Start timecodes from QuickTime time-code tracks, for frame counts and
// targets the FFmpeg files do not reach (24 and non-drop 30 and 60, a
// 50-frame count read into PAL).
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"

using namespace QTTimeCodeTools;

TEST(TimeCodeTracks, FrameCountAndDropFlagGiveTheSystemAndFramesBecomeFieldsOfTheTarget) {
  const std::tuple<bool, uint8_t, OxlTbx::VideoSystem> systems[] = {
      {true, 24, OxlTbx::VS_24Drop},           {false, 24, OxlTbx::VS_24},
      {true, 25, OxlTbx::VS_PAL},              {true, 30, OxlTbx::VS_NTSCDrop},
      {false, 30, OxlTbx::VS_NTSCNoDrop},      {false, 50, OxlTbx::VS_FieldPAL},
      {true, 60, OxlTbx::VS_FieldNTSCDrop},    {false, 60, OxlTbx::VS_FieldNTSCNoDrop}};
  for (auto [drop, frames, system] : systems) EXPECT_EQ(GetSourceSystem(drop, frames), system) << int(frames) << drop;
  EXPECT_THROW(GetSourceSystem(false, 29), std::runtime_error);
  // 10:00:00:00 at 25 frames/s is frame 900000; at 50 frames/s frame 100 is
  // 00:00:02:00; frame 17982 at 29.97 drop is 00:10:00;00.
  const std::tuple<uint32_t, bool, uint8_t, OxlTbx::VideoSystem, unsigned> starts[] = {
      {0x19, false, 25, OxlTbx::VS_PAL, 50},          {900000, false, 25, OxlTbx::VS_PAL, 1800000},
      {900000, false, 25, OxlTbx::VS_FieldPAL, 1800000}, {100, false, 50, OxlTbx::VS_FieldPAL, 100},
      {100, false, 50, OxlTbx::VS_PAL, 100},          {17982, true, 30, OxlTbx::VS_NTSCDrop, 35964}};
  for (auto [frame, drop, count, target, fields] : starts)
    EXPECT_EQ(ComputeInitialTc(frame, drop, count, target), fields) << frame << " " << int(count);
}
