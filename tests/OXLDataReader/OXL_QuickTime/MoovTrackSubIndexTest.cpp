// Movie-header sub-indexes over hand-made sample tables: per-sample (video)
// and per-chunk (PCM sound). Expected values are recomputed from the tables.
#include <gtest/gtest.h>

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

std::shared_ptr<MoovTrackSubIndex> Index(const std::string& stbl) {
  return std::make_shared<MoovTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(qel::EditRate(600, 1), 900),
                                             kMediaRate, 120);
}

// File offset of every sample, by a full scan of the tables above.
std::vector<uint64_t> ScanOffsets() {
  std::vector<uint64_t> offsets;
  size_t sample = 0;
  for (size_t chunk = 0; chunk < kChunkOffsets.size(); ++chunk) {
    uint64_t at = kChunkOffsets[chunk];
    for (int i = 0; i < (chunk < 2 ? 3 : 2); ++i) offsets.push_back(at), at += kSizes[sample++];
  }
  return offsets;
}

int64_t Position(const std::shared_ptr<IQtSampleIndex>& cursor) {
  return std::dynamic_pointer_cast<MoovSampleIndex>(cursor)->GetPosition();
}

TEST(MoovSubIndex, EarliestOfTheFirstTenSamplesIsPresentedAtZero) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(index->GetTrackMediaTimeOffset().GetTimeNumber(), 20);
  EXPECT_EQ(index->GetSampleTime(2).start.GetTimeNumber(), 0);
  EXPECT_EQ(index->GetSampleTime(0).start.GetTimeNumber(), 10);
  EXPECT_EQ(index->GetSampleTime(11).start.GetTimeNumber(), 110 - 100 - 20);
  EXPECT_EQ(index->GetReferenceSampleTime(0).start.GetTimeNumber(), -20);
  EXPECT_EQ(index->GetReferenceSampleTime(5).start.GetTimeNumber(), 30);
  EXPECT_EQ(index->GetSampleTime(5).duration, 10);
  EXPECT_DOUBLE_EQ(index->GetSampleDuration(5), 0.1);
  EXPECT_EQ(index->GetDuration(), qel::MediaTime(kMediaRate, 150));  // 900 / 600 s
  EXPECT_EQ(index->GetDuration().GetEditRate(), kMediaRate);
  EXPECT_EQ(index->GetMediaContentDuration().GetTimeNumber(), 120);
  EXPECT_EQ(ErrorText([&] { index->SetStartTimestamp(qel::MediaTime(kMediaRate, 5)); }),
            "The method or operation is not implemented.");
}

TEST(MoovSubIndex, OffsetsInAnyOrderAgreeWithTheTables) {
  auto index = Index(VideoStbl());
  const auto expected = ScanOffsets();
  for (size_t n = 0; n < expected.size(); ++n) EXPECT_EQ(index->GetSampleOffset(n), expected[n]) << n;
  for (size_t n : {11, 7, 1, 8, 8, 2, 0, 10, 9}) EXPECT_EQ(index->GetSampleOffset(n), expected[n]) << n;
  EXPECT_EQ(index->GetSampleSize(4), 104u);
  auto short_ = Index(Stbl({RunTableAtom("stts", {{12, 10}}), StscAtom(kChunks), StszAtom(0, kSizes),
                            WordTableAtom("stco", {1000, 2000, 3000, 4000})}));
  EXPECT_EQ(short_->GetSampleOffset(9), 4000u + 108);
  EXPECT_EQ(short_->GetSampleOffset(10), ~uint64_t(0));  // in no chunk
}

TEST(MoovSubIndex, SyncPartialSyncAndLastSample) {
  auto index = Index(VideoStbl());
  EXPECT_TRUE(index->IsSyncOrPartialSync(0));
  EXPECT_FALSE(index->IsPartialSync(0));
  EXPECT_FALSE(index->IsSyncOrPartialSync(1));
  EXPECT_TRUE(index->IsPartialSync(3));
  EXPECT_TRUE(index->IsSyncOrPartialSync(6));
  EXPECT_EQ(Position(index->GetLastSampleIndex()), 11);
  EXPECT_FALSE(index->IsAfterLastIndex(11));
  EXPECT_TRUE(index->IsAfterLastIndex(12));
  auto empty = Index(Stbl({RunTableAtom("stts", {}), StscAtom({}), StszAtom(0, {}), WordTableAtom("stco", {})}));
  EXPECT_EQ(Position(empty->GetLastSampleIndex()), -1);
  EXPECT_EQ(empty->GetSampleOffset(0), ~uint64_t(0));
}

TEST(MoovSubIndex, TimeLookupByDecodeTimeNeverEmpty) {
  auto index = Index(VideoStbl());
  EXPECT_EQ(Position(index->FindSampleIndex(0.34)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(0.35)), 4);  // half a sample rounds up
  EXPECT_EQ(Position(index->FindSampleIndex(1e9)), 11);
  EXPECT_EQ(Position(index->FindSampleIndex(-0.004)), 0);
}

TEST(MoovSubIndex, OffsetLookupGivesTheLastCompleteSample) {
  auto index = Index(VideoStbl());
  const auto offsets = ScanOffsets();
  for (uint64_t limit = offsets[0] + kSizes[0]; limit < 6000; limit += 7) {
    int64_t expected = -1;
    for (size_t n = 0; n < offsets.size(); ++n)
      if (offsets[n] + kSizes[n] <= limit) expected = int64_t(n);
    ASSERT_EQ(Position(index->FindSampleIndex(static_cast<unsigned long>(limit))), expected) << limit;
  }
  EXPECT_EQ(ErrorText([&] { index->FindSampleIndex(1050ul); }), "[failed to find sample index] [ Condition is not true ]");
  EXPECT_THROW(index->FindSampleIndex(10ul), qel::QELRuntimeError);
  auto uniform = Index(Stbl({RunTableAtom("stts", {{8, 10}}), StscAtom({{1, 4, 1}}), StszAtom(50, {}, 8),
                             Co64Atom({0x100000000ull, 0x100001000ull})}));
  EXPECT_EQ(Position(uniform->FindSampleIndex(0x100000000ul + 149)), 1);
  EXPECT_EQ(Position(uniform->FindSampleIndex(0x100000000ul + 150)), 2);
  EXPECT_EQ(Position(uniform->FindSampleIndex(0x200000000ul)), 7);
  EXPECT_EQ(uniform->GetSampleOffset(6), 0x100001000ull + 100);
  EXPECT_FALSE(uniform->IsPartialSync(3));
}

TEST(MoovSubIndex, MandatoryTablesAndOwnCopy) {
  std::string stbl = VideoStbl();
  auto index = Index(stbl);
  EXPECT_TRUE(index->SetTrackIndexData(Data(stbl), stbl.size(), kMediaRate));
  const unsigned char* stsd = nullptr;
  unsigned long stsdSize = 0;
  ASSERT_TRUE(index->GetStsdDescriptor(stsd, stsdSize));
  stbl.assign(stbl.size(), '\xEE');  // the caller's bytes are gone
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stsd), stsdSize), SoundStsdAtom("twos", 2, 16, 48000));
  EXPECT_EQ(index->GetSampleOffset(3), 2000u);
  const std::string noOffsets = Stbl({RunTableAtom("stts", {{1, 1}}), StscAtom({{1, 1, 1}}), StszAtom(1, {}, 1)});
  EXPECT_FALSE(index->SetTrackIndexData(Data(noOffsets), noOffsets.size(), kMediaRate));
  EXPECT_FALSE(index->GetStsdDescriptor(stsd, stsdSize));
}

// Cut anywhere, the sub-index is built (or refused with a host error for a
// sync table that does not match its count), and every query either
// answers or fails with a host error.
TEST(MoovSubIndex, EveryCutOfTheSampleTableIsHandled) {
  for (const std::string& cut : Truncations(VideoStbl())) {
    const ExactBuffer b(cut);
    std::shared_ptr<MoovTrackSubIndex> index;
    try {
      index = std::make_shared<MoovTrackSubIndex>(b.data(), b.size(), qel::MediaTime(kMediaRate, 10), kMediaRate, 12);
    } catch (const qel::QELRuntimeError&) {
      continue;
    }
    for (uint64_t n = 0; n < 14; ++n) {
      try {
        index->GetSampleOffset(n), index->GetSampleSize(n), index->IsSyncOrPartialSync(n), index->GetSampleTime(n);
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

// PCM sound at 48 kHz, chunks 9000 bytes apart.
std::shared_ptr<MoovAudioPcmTrackSubIndex> PcmIndex(const ChunkRuns& chunks, uint32_t chunkCount, bool withStsd = true) {
  std::vector<uint32_t> offsets;
  for (uint32_t c = 0; c < chunkCount; ++c) offsets.push_back(10000 + c * 9000);
  std::vector<std::string> children = {RunTableAtom("stts", {{60000, 1}}), StscAtom(chunks), StszAtom(1, {}, 60000),
                                       WordTableAtom("stco", offsets)};
  if (withStsd) children.insert(children.begin(), SoundStsdAtom("twos", 2, 16, 48000));
  const std::string stbl = Stbl(children);
  const qel::EditRate rate(48000, 1);
  return std::make_shared<MoovAudioPcmTrackSubIndex>(Data(stbl), stbl.size(), qel::MediaTime(rate, 60000), rate, 60000);
}

TEST(MoovPcmSubIndex, OneSamplePerChunk) {
  auto index = PcmIndex({{1, 2000, 1}}, 30);
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
  const unsigned long chunk3 = 10000 + 3 * 9000;
  EXPECT_EQ(Position(index->FindSampleIndex(chunk3 + 8000ul)), 3);
  EXPECT_EQ(Position(index->FindSampleIndex(chunk3 + 7999ul)), 2);
  EXPECT_FALSE(index->FindSampleIndex(10000ul + 7999));
}

TEST(MoovPcmSubIndex, UnevenChunksAndFramesWithoutDescription) {
  auto index = PcmIndex({{1, 1000, 1}, {3, 500, 1}}, 6);
  EXPECT_EQ(index->GetSampleSize(0), 1000u * 4);
  EXPECT_EQ(index->GetSampleTime(2).start.GetTimeNumber(), 2000);
  EXPECT_EQ(index->GetSampleSize(2), 500u * 4);
  EXPECT_EQ(Position(index->FindSampleIndex(2600.0 / 48000)), 3);
  auto bare = PcmIndex({{1, 2000, 1}}, 3, false);
  EXPECT_EQ(bare->GetBytesPerFrame(), 6u);
  EXPECT_EQ(bare->GetSampleSize(0), 12000u);
}

}  // namespace
