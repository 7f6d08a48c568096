// Movie-header sub-indexes over hand-made sample tables: per-sample (video)
// and per-chunk (PCM sound). Expected values are recomputed from the tables.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"
#include "support/ErrorText.h"
#include "support/QtSampleTables.h"

using namespace oxltest;

namespace {

const qel::EditRate kMediaRate(100, 1);  // one unit is 10 ms
const std::vector<uint32_t> kSizes = {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111};
const std::vector<uint32_t> kChunkOffsets = {1000, 2000, 3000, 4000, 5000};
// Chunks 0-1 hold three samples each, chunks 2-4 two each.
const ChunkRuns kChunks = {{1, 3, 1}, {3, 2, 1}};
// Sample 2 is presented first among the first ten (decode 20 + 0); sample 11
// would be earlier (110 - 100) but lies beyond them.
const SampleRuns kCompositionOffsets = {{1, 30}, {1, 40}, {1, 0}, {8, 20}, {1, 0xFFFFFF9C}};

std::string Stbl(const std::vector<std::string>& children) {
  std::string payload;
  for (const auto& c : children) payload += c;
  return Atom("stbl", payload);
}

std::string VideoStbl() {
  return Stbl({SoundStsdAtom("twos", 2, 16, 48000), RunTableAtom("stts", {{12, 10}}),
               RunTableAtom("ctts", kCompositionOffsets), StscAtom(kChunks), StszAtom(0, kSizes),
               WordTableAtom("stco", kChunkOffsets), WordTableAtom("stss", {1, 7}), WordTableAtom("stps", {4})});
}

std::shared_ptr<MoovTrackSubIndex> Index(const std::string& stbl, qel::EditRate rate = kMediaRate) {
  return std::make_shared<MoovTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(qel::EditRate(600, 1), 900), rate,
                                             120);
}

// File offset of every sample, by a full scan of the tables above.
std::vector<uint64_t> ScanOffsets() {
  std::vector<uint64_t> offsets;
  size_t sample = 0;
  for (size_t chunk = 0; chunk < kChunkOffsets.size(); ++chunk) {
    uint64_t at = kChunkOffsets[chunk];
    for (int i = 0; i < (chunk < 2 ? 3 : 2); ++i) {
      offsets.push_back(at);
      at += kSizes[sample++];
    }
  }
  return offsets;
}

int64_t Position(const std::shared_ptr<IQtSampleIndex>& cursor) {
  return std::dynamic_pointer_cast<MoovSampleIndex>(cursor)->GetPosition();
}

TEST(MoovSubIndexTimes, EarliestOfTheFirstTenSamplesIsPresentedAtZero) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(index->GetTrackMediaTimeOffset().GetTimeNumber(), 20);
  EXPECT_EQ(index->GetSampleTime(2).start.GetTimeNumber(), 0);
  EXPECT_EQ(index->GetSampleTime(0).start.GetTimeNumber(), 10);
  EXPECT_EQ(index->GetSampleTime(11).start.GetTimeNumber(), 110 - 100 - 20);
  EXPECT_EQ(index->GetReferenceSampleTime(0).start.GetTimeNumber(), -20);
  EXPECT_EQ(index->GetReferenceSampleTime(5).start.GetTimeNumber(), 30);
  EXPECT_EQ(index->GetSampleTime(5).duration, 10);
  EXPECT_EQ(index->GetSampleTime(5).start.GetEditRate(), kMediaRate);
  EXPECT_DOUBLE_EQ(index->GetSampleDuration(5), 0.1);
}

TEST(MoovSubIndexTimes, TrackDurationsAndStart) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(index->GetDuration(), qel::MediaTime(kMediaRate, 150));  // 900 / 600 s
  EXPECT_EQ(index->GetDuration().GetEditRate(), kMediaRate);
  EXPECT_EQ(index->GetMediaContentDuration().GetTimeNumber(), 120);
  EXPECT_EQ(ErrorText([&] { index->SetStartTimestamp(qel::MediaTime(kMediaRate, 5)); }),
            "The method or operation is not implemented.");
}

TEST(MoovSubIndexOffsets, EverySampleInAnyOrderAgreesWithTheTables) {
  auto index = Index(VideoStbl());
  const auto expected = ScanOffsets();
  for (size_t n = 0; n < expected.size(); ++n) EXPECT_EQ(index->GetSampleOffset(n), expected[n]) << n;
  for (size_t n = expected.size(); n-- > 0;) EXPECT_EQ(index->GetSampleOffset(n), expected[n]) << n;
  for (size_t n : {7, 1, 8, 8, 2, 11, 0, 10, 9}) EXPECT_EQ(index->GetSampleOffset(n), expected[n]) << n;
  EXPECT_EQ(index->GetSampleSize(4), 104u);
}

TEST(MoovSubIndexOffsets, SampleInNoChunkHasNoOffset) {
  auto index = Index(Stbl({RunTableAtom("stts", {{12, 10}}), StscAtom(kChunks), StszAtom(0, kSizes),
                           WordTableAtom("stco", {1000, 2000, 3000, 4000})}));
  EXPECT_EQ(index->GetSampleOffset(9), 4000u + 108);
  EXPECT_EQ(index->GetSampleOffset(10), ~uint64_t(0));
  auto empty = Index(Stbl({}));
  EXPECT_EQ(empty->GetSampleOffset(0), ~uint64_t(0));
}

TEST(MoovSubIndexSync, SyncAndPartialSyncTables) {
  auto index = Index(VideoStbl());
  EXPECT_TRUE(index->IsSyncOrPartialSync(0));
  EXPECT_FALSE(index->IsPartialSync(0));
  EXPECT_FALSE(index->IsSyncOrPartialSync(1));
  EXPECT_TRUE(index->IsSyncOrPartialSync(3));
  EXPECT_TRUE(index->IsPartialSync(3));
  EXPECT_TRUE(index->IsSyncOrPartialSync(6));
  auto allSync = Index(Stbl({RunTableAtom("stts", {{3, 10}}), StscAtom({{1, 3, 1}}), StszAtom(5, {}, 3),
                             WordTableAtom("stco", {0})}));
  for (uint64_t n = 0; n < 3; ++n) {
    EXPECT_TRUE(allSync->IsSyncOrPartialSync(n));
    EXPECT_FALSE(allSync->IsPartialSync(n));
  }
}

TEST(MoovSubIndexCursor, LastIndexAndEmptySizeTable) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(Position(index->GetLastSampleIndex()), 11);
  EXPECT_FALSE(index->IsAfterLastIndex(11));
  EXPECT_TRUE(index->IsAfterLastIndex(12));
  auto empty = Index(Stbl({RunTableAtom("stts", {}), StscAtom({}), StszAtom(0, {}), WordTableAtom("stco", {})}));
  EXPECT_FALSE(empty->IsAfterLastIndex(0));
  EXPECT_EQ(Position(empty->GetLastSampleIndex()), -1);
}

TEST(MoovSubIndexLookup, TimeLookupByDecodeTimeNeverEmpty) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(Position(index->FindSampleIndex(0.34)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(0.35)), 4);  // half a sample rounds up
  EXPECT_EQ(Position(index->FindSampleIndex(1e9)), 11);
  EXPECT_EQ(Position(index->FindSampleIndex(-0.004)), 0);
}

TEST(MoovSubIndexLookup, OffsetLookupGivesTheLastCompleteSample) {
  auto index = Index(VideoStbl());
  const auto offsets = ScanOffsets();
  const uint64_t firstEnd = offsets[0] + kSizes[0];
  for (uint64_t limit = firstEnd; limit < 6000; limit += 7) {
    int64_t expected = -1;
    for (size_t n = 0; n < offsets.size(); ++n)
      if (offsets[n] + kSizes[n] <= limit) expected = int64_t(n);
    ASSERT_EQ(Position(index->FindSampleIndex(static_cast<unsigned long>(limit))), expected) << limit;
  }
  EXPECT_EQ(Position(index->FindSampleIndex(2050ul)), 2);  // inside chunk 1's first sample
  EXPECT_EQ(ErrorText([&] { index->FindSampleIndex(1050ul); }), "[failed to find sample index] [ Condition is not true ]");
  EXPECT_EQ(ErrorText([&] { index->FindSampleIndex(10ul); }), "[failed to find sample index] [ Condition is not true ]");
}

TEST(MoovSubIndexLookup, OffsetLookupWithUniformSizes) {
  auto index = Index(Stbl({RunTableAtom("stts", {{8, 10}}), StscAtom({{1, 4, 1}}), StszAtom(50, {}, 8),
                           Co64Atom({0x100000000ull, 0x100001000ull})}));
  EXPECT_EQ(Position(index->FindSampleIndex(0x100000000ul + 149)), 1);
  EXPECT_EQ(Position(index->FindSampleIndex(0x100000000ul + 150)), 2);
  EXPECT_EQ(Position(index->FindSampleIndex(0x100001000ul + 10)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(0x200000000ul)), 7);
  EXPECT_EQ(index->GetSampleOffset(6), 0x100001000ull + 100);
}

TEST(MoovSubIndexTables, MandatoryTablesAndOwnCopy) {
  std::string stbl = VideoStbl();
  auto index = Index(stbl);
  EXPECT_TRUE(index->SetTrackIndexData(Data(stbl), stbl.size(), kMediaRate));
  const unsigned char* stsd = nullptr;
  unsigned long stsdSize = 0;
  ASSERT_TRUE(index->GetStsdDescriptor(stsd, stsdSize));
  const std::string expectedStsd = SoundStsdAtom("twos", 2, 16, 48000);
  stbl.assign(stbl.size(), '\xEE');  // the caller's bytes are gone
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stsd), stsdSize), expectedStsd);
  EXPECT_EQ(index->GetSampleOffset(3), 2000u);
  const std::string noOffsets = Stbl({RunTableAtom("stts", {{1, 1}}), StscAtom({{1, 1, 1}}), StszAtom(1, {}, 1)});
  EXPECT_FALSE(index->SetTrackIndexData(Data(noOffsets), noOffsets.size(), kMediaRate));
  EXPECT_FALSE(index->GetStsdDescriptor(stsd, stsdSize));
  const std::string bare = Stbl({});
  EXPECT_FALSE(index->SetTrackIndexData(Data(bare), bare.size(), kMediaRate));
  EXPECT_EQ(index->GetTrackMediaTimeOffset().GetTimeNumber(), 0);
}

// Cut at every byte, the sub-index is built (or refused with a host error
// for a sync table that does not match its count), and every query on every
// position either answers or fails with a host error.
TEST(MoovSubIndexCorruptInput, EveryCutOfTheSampleTableIsHandled) {
  const std::string stbl = VideoStbl();
  for (const std::string& cut : Truncations(stbl)) {
    const ExactBuffer b(cut);
    std::shared_ptr<MoovTrackSubIndex> index;
    try {
      index = std::make_shared<MoovTrackSubIndex>(b.data(), b.size(), qel::MediaTime(kMediaRate, 10), kMediaRate, 12);
    } catch (const qel::QELRuntimeError&) {
      continue;
    }
    for (uint64_t n = 0; n < 14; ++n) {
      try {
        index->GetSampleOffset(n);
        index->GetSampleSize(n);
        index->IsSyncOrPartialSync(n);
        index->GetSampleTime(n);
        index->GetSampleDuration(n);
      } catch (const qel::QELRuntimeError&) {
      }
    }
    try {
      index->FindSampleIndex(static_cast<unsigned long>(3000));
    } catch (const qel::QELRuntimeError&) {
    }
    index->FindSampleIndex(0.5);
  }
}

// PCM sound: 2000 stereo 16-bit frames per chunk at 48 kHz.
std::string PcmStbl(const ChunkRuns& chunks, uint32_t chunkCount, bool withStsd = true) {
  std::vector<uint32_t> offsets;
  for (uint32_t c = 0; c < chunkCount; ++c) offsets.push_back(10000 + c * 9000);
  std::vector<std::string> children = {RunTableAtom("stts", {{60000, 1}}), StscAtom(chunks), StszAtom(1, {}, 60000),
                                       WordTableAtom("stco", offsets)};
  if (withStsd) children.insert(children.begin(), SoundStsdAtom("twos", 2, 16, 48000));
  return Stbl(children);
}

std::shared_ptr<MoovAudioPcmTrackSubIndex> PcmIndex(const std::string& stbl) {
  const qel::EditRate rate(48000, 1);
  return std::make_shared<MoovAudioPcmTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(rate, 60000), rate,
                                                     60000);
}

TEST(MoovPcmSubIndex, OneSamplePerChunk) {
  auto index = PcmIndex(PcmStbl({{1, 2000, 1}}, 30));
  EXPECT_EQ(index->GetBytesPerFrame(), 4u);
  EXPECT_EQ(Position(index->FindSampleIndex(0.5)), 12);
  EXPECT_EQ(index->GetSampleSize(12), 2000u * 4);
  EXPECT_DOUBLE_EQ(index->GetSampleDuration(12), 2000.0 / 48000);
  EXPECT_EQ(index->GetSampleTime(12).start.GetTimeNumber(), 24000);
  EXPECT_EQ(index->GetSampleTime(12).duration, 2000);
  EXPECT_EQ(index->GetReferenceSampleTime(12).start.GetTimeNumber(), 24000);
  EXPECT_EQ(index->GetSampleOffset(12), 10000u + 12 * 9000);
  EXPECT_EQ(Position(index->GetLastSampleIndex()), 29);
  EXPECT_TRUE(index->IsAfterLastIndex(30));
  EXPECT_EQ(Position(index->FindSampleIndex(100.0)), 29);
  EXPECT_EQ(index->GetTrackMediaTimeOffset().GetTimeNumber(), 0);
  EXPECT_TRUE(index->IsSyncOrPartialSync(5));
}

TEST(MoovPcmSubIndex, UnevenChunks) {
  auto index = PcmIndex(PcmStbl({{1, 1000, 1}, {3, 500, 1}}, 6));
  EXPECT_EQ(index->GetSampleSize(0), 1000u * 4);
  EXPECT_EQ(index->GetSampleTime(2).start.GetTimeNumber(), 2000);
  EXPECT_EQ(index->GetSampleSize(2), 500u * 4);
  EXPECT_EQ(index->GetSampleTime(1).start.GetTimeNumber(), 1000);
  EXPECT_EQ(Position(index->FindSampleIndex(2600.0 / 48000)), 3);
}

TEST(MoovPcmSubIndex, OffsetLookupGivesTheLastCompleteChunk) {
  auto index = PcmIndex(PcmStbl({{1, 2000, 1}}, 30));
  const unsigned long chunk3 = 10000 + 3 * 9000;
  EXPECT_EQ(Position(index->FindSampleIndex(chunk3 + 8000ul)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(chunk3 + 7999ul)), 2);
  EXPECT_EQ(Position(index->FindSampleIndex(chunk3 + 8500ul)), 3);
  EXPECT_FALSE(index->FindSampleIndex(10000ul + 7999));
  EXPECT_FALSE(index->FindSampleIndex(5ul));
}

TEST(MoovPcmSubIndex, WithoutDescriptionFramesAreSixBytes) {
  auto index = PcmIndex(PcmStbl({{1, 2000, 1}}, 3, false));
  EXPECT_EQ(index->GetBytesPerFrame(), 6u);
  EXPECT_EQ(index->GetSampleSize(0), 12000u);
}

}  // namespace
