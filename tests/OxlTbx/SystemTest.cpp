#include <gtest/gtest.h>

#include <vector>

#include "OxlTbx/System.h"

using namespace OxlTbx;

namespace {
std::vector<VideoSystem> Group(uint32_t system) {
  return CSystem(static_cast<VideoSystem>(system)).GetCompatibleVideoSystems().GetSystems();
}
}  // namespace

TEST(VideoSystemCompatibility, Groups) {
  using V = std::vector<VideoSystem>;
  EXPECT_EQ(Group(1), V{VS_24Drop});
  EXPECT_EQ(Group(2), V{VS_24});
  EXPECT_EQ(Group(3), (V{VS_PAL, VS_FieldPAL}));
  EXPECT_EQ(Group(6), (V{VS_PAL, VS_FieldPAL}));
  EXPECT_EQ(Group(7), (V{VS_NTSCDrop, VS_FieldNTSCDrop}));
  EXPECT_EQ(Group(5), (V{VS_NTSCNoDrop, VS_FieldNTSCNoDrop}));
  for (uint32_t other : {0u, 9u, 10u, 0xFFFFFFFFu}) EXPECT_EQ(Group(other), V{VS_Invalid}) << other;
  EXPECT_TRUE(CSystem(VS_FieldPAL).IsVideoSystemCompatible(VS_PAL));
  EXPECT_FALSE(CSystem(VS_NTSCDrop).IsVideoSystemCompatible(VS_NTSCNoDrop));
  EXPECT_FALSE(CSystem(VS_25).IsVideoSystemCompatible(VS_25));  // 9 belongs to {0}
  EXPECT_TRUE(CSystem(VS_25).IsVideoSystemCompatible(VS_Invalid));
}

TEST(VideoSystemCompatibility, RatesAndProgressiveCounterparts) {
  EXPECT_TRUE(CSystem(VS_FieldPAL).Is50Hz());
  EXPECT_FALSE(CSystem(VS_25).Is50Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCDrop).Is5994Hz());
  EXPECT_FALSE(CSystem(VS_NTSCNoDrop).Is5994Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCNoDrop).Is60Hz());
  EXPECT_TRUE(CSystem(VS_25).IsHIResProgressive());
  EXPECT_FALSE(CSystem(VS_NTSCNoDrop).IsHIResProgressive());
  const std::pair<uint32_t, VideoSystem> hi[] = {{0, VS_Invalid}, {1, VS_NTSCDrop}, {3, VS_FieldPAL},
                                                 {6, VS_FieldPAL}, {9, VS_25}};
  const std::pair<uint32_t, VideoSystem> lo[] = {{0, VS_Invalid}, {3, VS_PAL}, {6, VS_PAL},
                                                 {8, VS_NTSCNoDrop}, {9, VS_FieldPAL}};
  for (const auto& [from, to] : hi) EXPECT_EQ(CSystem(VideoSystem(from)).GetHiResProgressiveSystem(), to) << from;
  for (const auto& [from, to] : lo) EXPECT_EQ(CSystem(VideoSystem(from)).GetLowResProgressiveSystem(), to) << from;
}
