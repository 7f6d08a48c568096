// Inputs the AVC-Intra fuzz target found, kept as regression tests.
#include <gtest/gtest.h>

#include <vector>

#include "qelMuxerUtils/OXLAVCIntraHelper.h"
#include "support/FuzzInputs.h"

using namespace oxltest;

// The finding's frame, reduced to its layout: length-prefixed, with its own
// parameter sets. Without a mode there is no largest frame
// (GetMaxFrameSize gives 0), and the frame is formatted all the same.
TEST(AvcIntraFuzzFindings, UnknownModeFormatsAFrameWithItsOwnParameterSets) {
  const std::string frame = FromHex("00000002 6742 00000002 68ce 00000003 658884");
  COXLAVCIntraHelper helper;
  const auto unknown = COXLAVCIntraHelper::AVCI_Unknown;
  ASSERT_EQ(helper.GetMaxFrameSize(unknown), 0u);
  std::vector<unsigned char> scratch;
  unsigned char* out = nullptr;
  unsigned int outSize = 0;
  const auto* in = reinterpret_cast<const unsigned char*>(frame.data());
  ASSERT_TRUE(helper.Format(unknown, in, frame.size(), out, outSize, scratch, 0));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), outSize),
            FromHex("00000001 6742 00000001 68ce 00000001 658884"));
  // A mode of the table bounds the frame: one of a few bytes passes.
  ASSERT_TRUE(helper.Format(COXLAVCIntraHelper::AVCI100_25, in, frame.size(), out, outSize, scratch, 0));
  EXPECT_LE(outSize, helper.GetMaxFrameSize(COXLAVCIntraHelper::AVCI100_25));
}
