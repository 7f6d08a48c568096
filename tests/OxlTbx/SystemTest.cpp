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
}

TEST(VideoSystemCompatibility, MembershipMatchesGroups) {
  for (uint32_t a = 0; a <= 11; ++a) {
    const CSystem system(static_cast<VideoSystem>(a));
    const auto group = system.GetCompatibleVideoSystems();
    for (uint32_t b = 0; b <= 11; ++b) {
      const auto other = static_cast<VideoSystem>(b);
      EXPECT_EQ(system.IsVideoSystemCompatible(other), group.ContainVideoSystem(other)) << a << " " << b;
    }
  }
  EXPECT_FALSE(CSystem(VS_25).IsVideoSystemCompatible(VS_25));
}

TEST(VideoSystemCompatibility, RatesAndProgressiveCounterparts) {
  EXPECT_TRUE(CSystem(VS_FieldPAL).Is50Hz());
  EXPECT_FALSE(CSystem(VS_25).Is50Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCDrop).Is5994Hz());
  EXPECT_FALSE(CSystem(VS_NTSCNoDrop).Is5994Hz());
  EXPECT_TRUE(CSystem(VS_FieldNTSCNoDrop).Is60Hz());
  EXPECT_TRUE(CSystem(VS_25).IsHIResProgressive());
  EXPECT_FALSE(CSystem(VS_NTSCNoDrop).IsHIResProgressive());
  const VideoSystem hi[] = {VS_Invalid, VS_NTSCDrop, VS_NTSCNoDrop, VS_FieldPAL, VS_FieldNTSCDrop,
                            VS_FieldNTSCNoDrop, VS_FieldPAL, VS_FieldNTSCDrop, VS_FieldNTSCNoDrop, VS_25};
  const VideoSystem lo[] = {VS_Invalid, VS_24Drop, VS_24, VS_PAL, VS_NTSCDrop,
                            VS_NTSCNoDrop, VS_PAL, VS_NTSCDrop, VS_NTSCNoDrop, VS_FieldPAL};
  for (uint32_t s = 0; s < VideoSystemCount; ++s) {
    EXPECT_EQ(CSystem(static_cast<VideoSystem>(s)).GetHiResProgressiveSystem(), hi[s]) << s;
    EXPECT_EQ(CSystem(static_cast<VideoSystem>(s)).GetLowResProgressiveSystem(), lo[s]) << s;
  }
}
