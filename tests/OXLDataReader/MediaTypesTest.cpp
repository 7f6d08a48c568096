// Display names of file types and video data types, and resolution classes.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/OXLDataReader.h"

using namespace OXLDataReader;

TEST(MediaTypes, NamesByValueResolutionClassesAndIntraCodecs) {
  const std::pair<unsigned int, const char*> fileTypes[] = {
      {0, "Unknown_File"}, {59, "QuickTime Graphical File"}, {80, "MPEG-DASH File"}, {81, ""}, {0xFFFFFFFF, ""}};
  for (const auto& [v, name] : fileTypes) EXPECT_EQ(GetFileTypeStr(static_cast<qel::FileType>(v)), name) << v;
  const std::pair<unsigned int, const char*> videoTypes[] = {
      {0, "Unknown_Video"}, {25, "RLE Graphical"}, {28, "H264/AVC/MPEG4-10 Video"}, {50, "H264 Intra"}, {51, ""}};
  for (const auto& [v, name] : videoTypes) EXPECT_EQ(GetVideoDataTypeStr(v), name) << v;  // 28 is not at index 28
  for (int r = -1; r <= 20; ++r) {
    const auto res = static_cast<VideoResolution>(r);
    EXPECT_EQ(std::vector<bool>({IsSDVideo(res), IsHDVideo(res), IsLowResVideo(res)}),
              std::vector<bool>({r == 1 || r == 2, r >= 3 && r <= 5, r == 17 || r == 18})) << r;
  }
  const std::set<unsigned int> intra = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 14, 15, 17, 18, 19, 20, 21, 23,
                                        24, 25, 26, 27, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41};
  for (unsigned int t = 0; t <= 60; ++t) EXPECT_EQ(IsIntraCodec(static_cast<VideoDataType>(t)), intra.count(t) == 1) << t;
}
