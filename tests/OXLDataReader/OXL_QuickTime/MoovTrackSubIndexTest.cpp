// Movie-header sub-indexes over sample tables FFmpeg never writes: negative
// composition offsets, fewer chunk offsets than runs, 64-bit offsets and PCM
// without description.
#include <gtest/gtest.h>

#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

const qel::EditRate kMediaRate(100, 1);  // one unit is 10 ms

std::string Stbl(const std::vector<std::string>& children) {
  std::string payload;
  for (const auto& c : children) payload += c;
  return Atom("stbl", payload);
}

// Twelve samples of 10 units, 100 to 111 bytes; chunks 0-1 hold three
// samples each, chunks 2-4 two. Sample 2 is presented first among the first
// ten (decode 20 + 0); sample 11 would be earlier (110 - 100) but lies beyond them.
std::string VideoStbl(const std::vector<uint32_t>& chunkOffsets = {1000, 2000, 3000, 4000, 5000}) {
  return Stbl({SoundStsdAtom("twos", 2, 16, 48000), RunTableAtom("stts", {{12, 10}}),
               RunTableAtom("ctts", {{1, 30}, {1, 40}, {1, 0}, {8, 20}, {1, 0xFFFFFF9C}}),
               StscAtom({{1, 3, 1}, {3, 2, 1}}), StszAtom(0, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111}),
               WordTableAtom("stco", chunkOffsets), WordTableAtom("stss", {1, 7}), WordTableAtom("stps", {4})});
}

std::shared_ptr<MoovTrackSubIndex> Index(const std::string& stbl) {
  return std::make_shared<MoovTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(qel::EditRate(600, 1), 900),
                                             kMediaRate, 120);
}

int64_t Position(const std::shared_ptr<IQtSampleIndex>& cursor) {
  return std::dynamic_pointer_cast<MoovSampleIndex>(cursor)->GetPosition();
}

TEST(MoovSubIndex, EarliestOfTheFirstTenSamplesIsPresentedAtZero) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(index->GetTrackMediaTimeOffset().GetTimeNumber(), 20);
  const std::pair<uint64_t, int64_t> presented[] = {{2, 0}, {0, 10}, {11, 110 - 100 - 20}};
  for (auto [sample, time] : presented) EXPECT_EQ(index->GetSampleTime(sample).start.GetTimeNumber(), time) << sample;
  EXPECT_EQ(index->GetReferenceSampleTime(0).start.GetTimeNumber(), -20);
  EXPECT_EQ(index->GetDuration(), qel::MediaTime(kMediaRate, 150));  // 900 / 600 s
}

// Up to a file size: the last sample that ends within it. Samples of chunks
// without offset have none; 64-bit offsets.
TEST(MoovSubIndex, OffsetsAndLastCompleteSamplesOfOddTables) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(Position(index->FindSampleIndex(static_cast<unsigned long>(3000 + 106 + 107))), 7);
  EXPECT_EQ(Position(index->FindSampleIndex(static_cast<unsigned long>(3000 + 106 + 106))), 6);
  EXPECT_THROW(index->FindSampleIndex(1050ul), qel::QELRuntimeError);  // before the first sample ends
  auto shortOffsets = Index(VideoStbl({1000, 2000, 3000, 4000}));
  EXPECT_EQ(shortOffsets->GetSampleOffset(9), 4000u + 108);
  EXPECT_EQ(shortOffsets->GetSampleOffset(10), ~uint64_t(0));
  auto uniform = Index(Stbl({RunTableAtom("stts", {{8, 10}}), StscAtom({{1, 4, 1}}), StszAtom(50, {}, 8),
                             Co64Atom({0x100000000ull, 0x100001000ull})}));
  EXPECT_EQ(Position(uniform->FindSampleIndex(0x100000000ul + 149)), 1);
  EXPECT_EQ(Position(uniform->FindSampleIndex(0x100000000ul + 150)), 2);
  EXPECT_EQ(uniform->GetSampleOffset(6), 0x100001000ull + 100);
  auto empty = Index(Stbl({RunTableAtom("stts", {}), StscAtom({}), StszAtom(0, {}), WordTableAtom("stco", {})}));
  EXPECT_EQ(Position(empty->GetLastSampleIndex()), -1);
}

TEST(MoovSubIndex, MandatoryTablesAndOwnCopy) {
  std::string stbl = VideoStbl();
  auto index = Index(stbl);
  const unsigned char* stsd = nullptr;
  unsigned long stsdSize = 0;
  ASSERT_TRUE(index->GetStsdDescriptor(stsd, stsdSize));
  stbl.assign(stbl.size(), '\xEE');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stsd), stsdSize), SoundStsdAtom("twos", 2, 16, 48000));
  EXPECT_EQ(index->GetSampleOffset(3), 2000u);
  const std::string noOffsets = Stbl({RunTableAtom("stts", {{1, 1}}), StscAtom({{1, 1, 1}}), StszAtom(1, {}, 1)});
  EXPECT_FALSE(index->SetTrackIndexData(Data(noOffsets), noOffsets.size(), kMediaRate));
}

// PCM sound at 48 kHz in chunks 9000 bytes apart: a chunk is one sample.
std::shared_ptr<MoovAudioPcmTrackSubIndex> PcmIndex(const ChunkRuns& chunks, uint32_t chunkCount, bool withStsd) {
  std::vector<uint32_t> offsets;
  for (uint32_t c = 0; c < chunkCount; ++c) offsets.push_back(10000 + c * 9000);
  const std::string stbl = Stbl({withStsd ? SoundStsdAtom("twos", 2, 16, 48000) : "", RunTableAtom("stts", {{60000, 1}}),
                                 StscAtom(chunks), StszAtom(1, {}, 60000), WordTableAtom("stco", offsets)});
  const qel::EditRate rate(48000, 1);
  return std::make_shared<MoovAudioPcmTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(rate, 60000), rate, 60000);
}

TEST(MoovPcmSubIndex, UnevenChunksOffsetLookupAndFramesWithoutDescription) {
  auto index = PcmIndex({{1, 1000, 1}, {3, 500, 1}}, 6, true);
  EXPECT_EQ(std::make_pair(index->GetSampleSize(0), index->GetSampleSize(2)), std::make_pair(1000u * 4, 500u * 4));
  EXPECT_EQ(index->GetSampleTime(3).start.GetTimeNumber(), 2500);
  EXPECT_EQ(Position(index->FindSampleIndex(2600.0 / 48000)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(100.0)), 5);
  const unsigned long chunk3 = 10000 + 3 * 9000;  // the last chunk ending within a file size
  EXPECT_EQ(std::make_pair(Position(index->FindSampleIndex(chunk3 + 2000ul)), Position(index->FindSampleIndex(chunk3 + 1999ul))),
            std::make_pair(int64_t(3), int64_t(2)));
  EXPECT_FALSE(index->FindSampleIndex(10000ul + 3999));
  EXPECT_EQ(PcmIndex({{1, 2000, 1}}, 3, false)->GetSampleSize(0), 2000u * 6);  // 6 bytes a frame without description
}

}  // namespace
